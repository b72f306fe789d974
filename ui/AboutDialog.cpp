#include "ui/AboutDialog.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "base/Texts.h"
#include "ui/Captions.h"
#include "ui/DialogColours.h"
#include "ui/DialogTemplate.h"
#include "ui/Resources.h"
#include "ui/Translation.h"

namespace kestrel::ui {
namespace {

constexpr QSize kAboutSize{235, 60};
constexpr QRect kIconRect{26, 17, 20, 20};
constexpr QRect kProductRect{54, 16, 119, 8};
constexpr QRect kVersionRect{54, 26, 119, 8};
constexpr QRect kMakerRect{54, 36, 119, 8};
constexpr QRect kOkRect{178, 7, 50, 14};
constexpr int kIconPixels = 32;

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  // The program as its window names it.
  setWindowTitle(Tr(captions::kAboutCaption).arg(Tr(captions::kDialogCaption)));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFont(DialogFont());
  ApplyDialogBackground(this);
  const BaseUnits base = BaseUnitsOf(font());

  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("aboutIcon"));
  icon->setPixmap(AppIcon().pixmap(kIconPixels, kIconPixels));
  icon->setGeometry(QRect(DialogUnitsToPixels(kIconRect, base).topLeft(), QSize(kIconPixels, kIconPixels)));

  // The maker line is longer than its template slot in most fonts: widen the slot, and the
  // box with it, rather than cut the text.
  int textRight = 0;
  auto addLabel = [&](const QString& text, const QRect& units, const char* name) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QString::fromUtf8(name));
    label->setTextFormat(Qt::PlainText);
    ApplyDialogText(label);
    QRect pixels = DialogUnitsToPixels(units, base);
    pixels.setWidth(std::max(pixels.width(), label->sizeHint().width()));
    pixels.setHeight(std::max(pixels.height(), label->sizeHint().height()));
    label->setGeometry(pixels);
    textRight = std::max(textRight, pixels.right());
  };
  addLabel(Tr(captions::kDialogCaption), kProductRect, "aboutProduct");
  addLabel(QStringLiteral("Kestrel ") + Tr(captions::kVersionPattern).arg(QStringLiteral(KESTREL_VERSION)),
           kVersionRect, "aboutVersion");
  addLabel(QString::fromUtf8(texts::kMakerLine.c_str()), kMakerRect, "aboutMaker");

  QSize size = DialogUnitsToPixels(kAboutSize, base);
  QRect ok = DialogUnitsToPixels(kOkRect, base);
  const int okMargin = size.width() - ok.right();
  const int gap = ok.left() - DialogUnitsToPixels(kProductRect, base).right();
  if (textRight + gap > ok.left()) {
    ok.moveLeft(textRight + gap);
    size.setWidth(ok.right() + okMargin);
  }
  auto* button = new QPushButton(Tr(captions::kAboutOk), this);
  button->setObjectName(QStringLiteral("aboutOk"));
  button->setDefault(true);
  button->setGeometry(ok);
  connect(button, &QPushButton::clicked, this, &QDialog::accept);
  setFixedSize(size);
}

}  // namespace kestrel::ui
