# cmake -DLUPDATE=lupdate -DSOURCE_DIR=checkout -DWORK_DIR=scratch -P CheckTranslations.cmake: lupdate
# brings a copy of each translations/*.ts up to ui/ and app/; an entry left unfinished (a text without
# its translation) or vanished (its text gone) fails. Fix: update-ui-translations, translate, commit.
file(GLOB ts_files "${SOURCE_DIR}/translations/*.ts")
if(NOT ts_files)
  message(FATAL_ERROR "no translations in ${SOURCE_DIR}/translations")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
file(COPY ${ts_files} DESTINATION "${WORK_DIR}")
foreach(ts ${ts_files})
  get_filename_component(name "${ts}" NAME)
  execute_process(COMMAND "${LUPDATE}" -extensions h,cpp ui app -ts "${WORK_DIR}/${name}"
                  WORKING_DIRECTORY "${SOURCE_DIR}" RESULT_VARIABLE failed OUTPUT_VARIABLE said ERROR_VARIABLE said)
  file(STRINGS "${WORK_DIR}/${name}" open REGEX "type=\"(unfinished|vanished|obsolete)\"")
  list(LENGTH open count)
  if(failed OR count GREATER 0)
    message(SEND_ERROR "${name}: ${count} entries unfinished or vanished\n${said}")
  endif()
endforeach()
