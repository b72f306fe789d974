# cmake -DMSGMERGE=... -DPOT=... -DPO_FILES=a.po;b.po -P MergeCatalogues.cmake
foreach(po ${PO_FILES})
  execute_process(COMMAND ${MSGMERGE} --quiet --update --backup=none --no-fuzzy-matching --sort-by-file
                          "${po}" "${POT}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
