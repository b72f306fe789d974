#include "ui/FuseEditor.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <array>
#include <bit>
#include <string_view>

#include "chips/FuseFields.h"
#include "control/ChipSafety.h"
#include "ui/Captions.h"
#include "ui/Translation.h"

namespace kestrel::ui {
namespace {

using chips::FieldDanger;

constexpr char kNoFacts[] = QT_TRANSLATE_NOOP("Kestrel", "此器件没有熔丝资料 no fuse facts for this chip");
constexpr std::array<const char*, chips::kFuseByteCount> kByteHeadings{
    QT_TRANSLATE_NOOP("Kestrel", "低位 low"), QT_TRANSLATE_NOOP("Kestrel", "高位 high"),
    QT_TRANSLATE_NOOP("Kestrel", "扩展 ext"), QT_TRANSLATE_NOOP("Kestrel", "锁定 lock")};
constexpr char kUnlisted[] = QT_TRANSLATE_NOOP("Kestrel", "未列出的值 0x%1 unlisted value");
constexpr char kIspLostIfProgrammedTip[] =
    QT_TRANSLATE_NOOP("Kestrel",
                      "编程后ISP无法再访问，只能用高压模式恢复 "
                      "programming this makes ISP unreachable; only a high-voltage mode can undo it");
constexpr char kIspLostIfUnprogrammedTip[] =
    QT_TRANSLATE_NOOP("Kestrel",
                      "取消编程后ISP无法再访问，只能用高压模式恢复 "
                      "unprogramming this makes ISP unreachable; only a high-voltage mode can undo it");
constexpr char kClockTip[] = QT_TRANSLATE_NOOP(
    "Kestrel",
    "选用外部时钟或晶振后，芯片和ISP只在接有该时钟时工作 "
    "with an external clock or crystal chosen, the chip and ISP work only while that clock is there");
constexpr char kSlowClockTip[] =
    QT_TRANSLATE_NOOP("Kestrel",
                      "编程后时钟8分频，ISP时钟须相应降低 "
                      "programming this divides the clock by 8; ISP then needs a slower clock");

const QColor kDangerColour{200, 0, 0};

QString Hex(std::uint8_t value) {
  return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

QString TipFor(FieldDanger danger) {
  switch (danger) {
    case FieldDanger::kIspLostIfProgrammed:
      return Tr(kIspLostIfProgrammedTip);
    case FieldDanger::kIspLostIfUnprogrammed:
      return Tr(kIspLostIfUnprogrammedTip);
    case FieldDanger::kClock:
      return Tr(kClockTip);
    case FieldDanger::kSlowClockIfProgrammed:
      return Tr(kSlowClockTip);
    default:
      return {};
  }
}

bool LosesIsp(FieldDanger danger) {
  return danger == FieldDanger::kIspLostIfProgrammed || danger == FieldDanger::kIspLostIfUnprogrammed;
}

// A drop-down that leaves the mouse wheel to the scroll area unless it has the focus, so that
// scrolling through the rows never changes a fuse on the way.
class FieldChoice : public QComboBox {
 public:
  FieldChoice() {
    setFocusPolicy(Qt::StrongFocus);
    // As wide as the longest meaning where the page has room, since clock choices differ
    // only at their ends; the form moves a box that does not fit beside its label below it,
    // across the whole page. Only a meaning longer than the page is cut (its tip shows it
    // whole), and the open list is always wide enough.
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
  }

  void showPopup() override {
    view()->setMinimumWidth(view()->sizeHintForColumn(0) + 2 * view()->frameWidth());
    QComboBox::showPopup();
  }

 protected:
  void wheelEvent(QWheelEvent* event) override {
    if (hasFocus()) {
      QComboBox::wheelEvent(event);
    } else {
      event->ignore();
    }
  }
};

// A read-only field just wide enough for its hex digits in whatever font it gets.
class HexField : public QLineEdit {
 public:
  explicit HexField(int digits) : digits_(digits) {
    setReadOnly(true);
    setMaxLength(digits);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  }
  QSize sizeHint() const override {
    const QSize base = QLineEdit::sizeHint();
    return {fontMetrics().horizontalAdvance(QString(digits_ + 2, u'D')), base.height()};
  }
  QSize minimumSizeHint() const override { return sizeHint(); }

 private:
  int digits_;
};

void MarkDangerous(QWidget* widget) {
  QPalette colours = widget->palette();
  colours.setColor(QPalette::WindowText, kDangerColour);
  colours.setColor(QPalette::ButtonText, kDangerColour);
  widget->setPalette(colours);
}

}  // namespace

FuseEditor::FuseEditor(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(4);
  noFacts_ = new QLabel(this);
  noFacts_->setObjectName(QStringLiteral("fuseNoFacts"));
  layout->addWidget(noFacts_);

  auto* textRow = new QWidget(this);
  auto* textLayout = new QHBoxLayout(textRow);
  textLayout->setContentsMargins(0, 0, 0, 0);
  const auto addText = [&](const char* caption, const char* name, int digits) {
    textLayout->addWidget(new QLabel(Tr(caption), textRow));
    auto* field = new HexField(digits);
    field->setObjectName(QLatin1String(name));
    textLayout->addWidget(field);
    return field;
  };
  fuseText_ = addText(captions::kFuseBytesLabel, "fuseText", 6);
  textLayout->addSpacing(16);
  lockText_ = addText(kByteHeadings[3], "lockText", 2);
  textLayout->addStretch();
  layout->addWidget(textRow);

  scroll_ = new QScrollArea(this);
  scroll_->setWidgetResizable(true);
  layout->addWidget(scroll_, 1);
  layout->addStretch(0);  // keeps the no-facts line at the top
  SetChip(nullptr);
}

void FuseEditor::SetChip(const chips::ChipFacts* facts, const QString& whyNone) {
  facts_ = facts;
  noFacts_->setText(whyNone.isEmpty() ? Tr(kNoFacts) : whyNone);
  noFacts_->setVisible(facts == nullptr);
  scroll_->setVisible(facts != nullptr);
  BuildRows();
  ShowFuses();
}

void FuseEditor::SetFuses(const chips::FuseSet& fuses) {
  fuses_ = fuses;
  ShowFuses();
}

QString FuseEditor::FuseText() const {
  return QString::fromStdString(control::FuseTextOf(fuses_));
}

QString FuseEditor::LockText() const {
  return QString::fromStdString(control::LockTextOf(fuses_));
}

bool FuseEditor::SetFuseText(const QString& text) {
  chips::FuseSet fuses = fuses_;
  if (!control::ParseFuseText(text.toStdString(), fuses)) return false;
  SetFuses(fuses);
  return true;
}

bool FuseEditor::SetLockText(const QString& text) {
  chips::FuseSet fuses = fuses_;
  if (!control::ParseLockText(text.toStdString(), fuses)) return false;
  SetFuses(fuses);
  return true;
}

void FuseEditor::BuildRows() {
  rows_.clear();
  delete scroll_->takeWidget();
  if (facts_ == nullptr) return;
  auto* content = new QWidget;
  // As wide as the page, never wider: a row too wide beside its label goes below it, and only
  // a meaning longer than the page is cut.
  content->setMinimumWidth(1);
  auto* form = new QFormLayout(content);
  form->setContentsMargins(6, 2, 6, 4);
  form->setHorizontalSpacing(8);
  form->setVerticalSpacing(1);
  form->setRowWrapPolicy(QFormLayout::WrapLongRows);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  rows_.reserve(facts_->Fields().size());
  for (std::size_t byte = 0; byte < chips::kFuseByteCount; ++byte) {
    QLabel* heading = nullptr;
    for (const chips::FuseField& field : facts_->Fields()) {
      if (static_cast<std::size_t>(field.byte) != byte) continue;
      if (heading == nullptr) {
        heading = new QLabel(QStringLiteral("<b>%1</b>").arg(Tr(kByteHeadings[byte])));
        heading->setObjectName(QStringLiteral("fuseByte_") +
                               QLatin1String(chips::FuseByteName(static_cast<chips::FuseByte>(byte))));
        if (form->rowCount() > 0) heading->setContentsMargins(0, 4, 0, 0);
        form->addRow(heading);
      }
      AddRow(field, form);
    }
  }
  scroll_->setWidget(content);
}

void FuseEditor::AddRow(const chips::FuseField& field, QFormLayout* form) {
  const std::size_t index = rows_.size();
  Row& row = rows_.emplace_back();
  row.field = &field;
  row.tip = TipFor(field.danger);
  const QString name = QString::fromStdString(field.name);
  const std::string& about = chips::ShownText(field.about, field.aboutEnglish);
  const QString caption = about.empty() ? name : name + QStringLiteral("  ") + QString::fromStdString(about);
  QWidget* control = nullptr;
  QWidget* title = nullptr;  // the widget that names the field
  if (std::popcount(unsigned{field.mask}) == 1) {
    row.box = new QCheckBox(caption);
    connect(row.box, &QCheckBox::clicked, this,
            [this, index](bool checked) { Edit(index, checked ? 0 : 1); });
    form->addRow(row.box);
    control = title = row.box;
  } else {
    auto* label = new QLabel(caption);
    label->setObjectName(QStringLiteral("fuseLabel_") + name);
    row.choice = new FieldChoice;
    for (const chips::FieldValue& value : field.values) {
      row.choice->addItem(QString::fromStdString(chips::ShownText(value.meaning, value.meaningEnglish)),
                          int{value.value});
    }
    connect(row.choice, &QComboBox::activated, this, [this, index](int item) {
      Edit(index, static_cast<std::uint8_t>(rows_[index].choice->itemData(item).toInt()));
    });
    form->addRow(label, row.choice);
    control = row.choice;
    title = label;
  }
  control->setObjectName(QStringLiteral("fuseField_") + name);
  title->setToolTip(row.tip);  // a check box's is replaced by the fuller one of ShowTip
  if (LosesIsp(field.danger)) MarkDangerous(title);
}

void FuseEditor::ShowFuses() {
  for (Row& row : rows_) {
    const std::uint8_t value = row.field->ValueIn(fuses_[row.field->byte]);
    if (row.box != nullptr) {
      row.box->setChecked(value == 0);
      ShowTip(row);
      continue;
    }
    // A value the maker does not list gets an extra last entry, dropped again when the bytes
    // set from outside no longer hold it.
    QComboBox* choice = row.choice;
    const int listed = static_cast<int>(row.field->values.size());
    int item = choice->findData(int{value});
    if (item < 0 || item >= listed) {
      const QString text = Tr(kUnlisted).arg(Hex(value));
      if (choice->count() > listed) {
        choice->setItemText(listed, text);
        choice->setItemData(listed, int{value});
      } else {
        choice->addItem(text, int{value});
      }
      item = listed;
    } else if (choice->count() > listed) {
      choice->removeItem(listed);
    }
    choice->setCurrentIndex(item);
    ShowTip(row);
  }
  ShowText();
}

// The meaning of the value as set: a check box alone does not say what its two states mean,
// and a narrow page may cut a drop-down's.
void FuseEditor::ShowTip(const Row& row) {
  QString meaning;
  QWidget* control = row.box;
  if (row.choice != nullptr) {
    meaning = row.choice->currentText();
    control = row.choice;
  } else if (const chips::FieldValue* listed = row.field->Find(row.field->ValueIn(fuses_[row.field->byte]))) {
    meaning = QString::fromStdString(chips::ShownText(listed->meaning, listed->meaningEnglish));
  }
  control->setToolTip(meaning.isEmpty() || row.tip.isEmpty() ? meaning + row.tip : meaning + u'\n' + row.tip);
}

void FuseEditor::ShowText() {
  fuseText_->setText(FuseText());
  lockText_->setText(LockText());
}

void FuseEditor::Edit(std::size_t index, std::uint8_t value) {
  const Row& row = rows_[index];
  const chips::FuseSet before = fuses_;
  if (chips::SetField(*facts_, row.field->name, value, fuses_) != chips::EncodeStatus::kDone) return;
  ShowTip(row);
  if (fuses_ == before) return;
  ShowText();
  emit fusesEdited(fuses_);
}

}  // namespace kestrel::ui
