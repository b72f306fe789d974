#include "ui/DialogTemplate.h"

#include <QFontMetrics>
#include <QStringList>
#include <array>

#include "ui/Captions.h"

namespace kestrel::ui {
namespace {

using C = ControlId;
using K = ControlKind;
namespace t = captions;

const auto kMainDialog = std::to_array<ControlTemplate>({
    {C::ModePP20, K::RadioButton, t::kModePP20, {262, 30, 36, 10}},
    {C::ModeIsp, K::RadioButton, t::kModeIsp, {262, 52, 28, 10}},
    {C::ModeHvsp, K::RadioButton, t::kModeHvsp, {262, 63, 27, 10}},
    {C::ModePP2313, K::RadioButton, t::kModePP2313, {262, 41, 41, 10}},
    {C::ModeFrame, K::GroupBox, t::kModeFrame, {258, 18, 50, 62}},
    {C::OperateFrame, K::GroupBox, t::kOperateFrame, {3, 92, 309, 187}},
    {C::ReadSignatureButton, K::PushButton, t::kReadButton, {205, 30, 34, 13}},
    {C::OpenFlashButton, K::PushButton, t::kFlashFileButton, {18, 110, 46, 20}},
    {C::ReadFuseLockButton, K::PushButton, t::kReadButton, {72, 60, 34, 13}},
    {C::ReadCalibrationButton, K::PushButton, t::kReadButton, {205, 60, 34, 13}},
    {C::FuseText, K::Edit, "", {233, 203, 26, 12}},
    {C::WriteFusesButton, K::PushButton, t::kWriteButton, {262, 203, 34, 13}},
    {C::FuseBytesLabel, K::Label, t::kFuseBytesLabel, {232, 192, 73, 9}},
    {C::LockText, K::Edit, "", {233, 223, 12, 12}},
    {C::WriteLockButton, K::PushButton, t::kWriteButton, {262, 223, 34, 13}},
    {C::ReadEepromButton, K::PushButton, t::kReadButton, {238, 143, 34, 13}},
    {C::ProgressBar, K::ProgressBar, "", {3, 282, 216, 10}},
    {C::PageTabs, K::PageTabs, "", {315, 1, 359, 294}},
    {C::WriteEepromButton, K::PushButton, t::kWriteButton, {85, 223, 34, 13}},
    {C::ReadFlashButton, K::PushButton, t::kReadButton, {85, 183, 34, 13}},
    {C::WriteFlashButton, K::PushButton, t::kWriteButton, {85, 163, 34, 13}},
    {C::OpenEepromButton, K::PushButton, t::kEepromFileButton, {176, 110, 46, 20}},
    {C::VerifyFlashButton, K::PushButton, t::kVerifyButton, {85, 203, 34, 13}},
    {C::VerifyEepromButton, K::PushButton, t::kVerifyButton, {238, 163, 34, 13}},
    {C::FlashHexView, K::HexView, "", {519, 97, 32, 123}},
    {C::EepromHexView, K::HexView, "", {495, 28, 41, 37}},
    {C::AutoWriteFlash, K::CheckBox, t::kWriteFlashBox, {17, 163, 47, 14}},
    {C::AutoReadFlash, K::CheckBox, t::kReadFlashBox, {17, 183, 42, 14}},
    {C::AutoButton, K::PushButton, t::kAutoButton, {186, 249, 62, 20}},
    {C::LogList, K::LogList, "", {445, 195, 65, 40}},
    {C::AutoErase, K::CheckBox, t::kEraseBox, {17, 143, 93, 14}},
    {C::AutoVerifyFlash, K::CheckBox, t::kVerifyFlashBox, {17, 203, 49, 14}},
    {C::EraseButton, K::PushButton, t::kEraseButton, {46, 249, 62, 20}},
    {C::IntroText, K::IntroEdit, "", {430, 90, 68, 52}},
    {C::AutoWriteEeprom, K::CheckBox, t::kWriteEepromBox, {17, 223, 47, 14}},
    {C::AutoReadEeprom, K::CheckBox, t::kReadEepromBox, {170, 143, 55, 14}},
    {C::AutoVerifyEeprom, K::CheckBox, t::kVerifyEepromBox, {170, 163, 55, 14}},
    {C::ChipList, K::ChipCombo, "", {12, 30, 72, 138}},
    {C::SaveFlashButton, K::PushButton, t::kFlashFileButton, {72, 110, 46, 20}},
    {C::SaveEepromButton, K::PushButton, t::kEepromFileButton, {229, 110, 46, 20}},
    {C::OptionFrame, K::GroupBox, t::kOptionFrame, {4, 1, 309, 87}},
    {C::SignatureText, K::ReadOnlyEdit, "", {146, 30, 41, 12}},
    {C::SignatureLabel, K::Label, t::kSignatureLabel, {146, 20, 35, 8}},
    {C::CalibrationText, K::ReadOnlyEdit, "", {146, 60, 57, 12}},
    {C::FuseLockLabel, K::Label, t::kFuseLockLabel, {12, 48, 109, 8}},
    {C::FuseLockText, K::ThemedReadOnlyEdit, "", {12, 60, 57, 12}},
    {C::AutoWriteFuses, K::CheckBox, t::kFuseBox, {170, 203, 60, 14}},
    {C::AutoWriteLock, K::CheckBox, t::kLockBox, {170, 223, 52, 14}},
    {C::ChipSelectLabel, K::Label, t::kChipSelectLabel, {12, 20, 95, 8}},
    {C::CalibrationLabel, K::Label, t::kCalibrationLabel, {146, 48, 106, 8}},
    {C::MemoryFrame, K::GroupBox, "", {8, 136, 300, 106}},
    {C::BurnButton, K::PushButton, t::kBurnButton, {270, 247, 33, 19}, true},
    {C::StopButton, K::PushButton, t::kStopButton, {116, 249, 62, 20}},
    {C::FastVerifyBox, K::CheckBox, t::kFastVerifyBox, {170, 181, 60, 10}},
    {C::ConnectionLabel, K::Label, "", {221, 282, 91, 10}},
});

int MulDiv(int value, int numerator, int denominator) {
  const long long product = static_cast<long long>(value) * numerator;
  const long long half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

}  // namespace

std::span<const ControlTemplate> MainDialogTemplate() {
  return kMainDialog;
}

QFont DialogFont() {
  QFont font;
  font.setFamilies(QStringList{QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei")});
  font.setPointSize(9);
  return font;
}

BaseUnits BaseUnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const int width =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return {std::max(1, (width / 26 + 1) / 2), std::max(1, metrics.height())};
}

QFont FitDialogFont(const QFont& font, const QSize& available) {
  QFont fitted = font;
  const auto fits = [&] {
    const QSize size = DialogUnitsToPixels(kMainDialogSize, BaseUnitsOf(fitted));
    return size.width() <= available.width() && size.height() <= available.height();
  };
  // Base units follow the font only in whole pixels: step down until the window fits, but not
  // below a size that can still be read.
  while (!fits() && fitted.pointSizeF() > kSmallestFontPoints)
    fitted.setPointSizeF(fitted.pointSizeF() - 0.25);
  return fitted;
}

QRect DialogUnitsToPixels(const QRect& units, BaseUnits base) {
  return {MulDiv(units.x(), base.x, 4), MulDiv(units.y(), base.y, 8), MulDiv(units.width(), base.x, 4),
          MulDiv(units.height(), base.y, 8)};
}

QSize DialogUnitsToPixels(const QSize& units, BaseUnits base) {
  return {MulDiv(units.width(), base.x, 4), MulDiv(units.height(), base.y, 8)};
}

QString LabelText(const QString& text) {
  QString shown;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text.at(i) == u'&') {
      if (i + 1 < text.size() && text.at(i + 1) == u'&') {
        shown += u'&';
        ++i;
      }
      continue;
    }
    shown += text.at(i);
  }
  return shown;
}

}  // namespace kestrel::ui
