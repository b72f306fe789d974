#include "ui/IntroText.h"

#include <array>

#include "ui/Translation.h"

namespace kestrel::ui {
namespace {

constexpr char kIndent[] = "        ";

constexpr char kHeading[] = QT_TRANSLATE_NOOP("Kestrel", "功能介绍：");

constexpr std::array<const char*, 4> kParagraphs = {
    QT_TRANSLATE_NOOP(
        "Kestrel",
        "1，本编程器由我们自行设计，通过USB 1.1与电脑通讯，支持高压串行(HVSP)、高压并行(PP)和低压串行"
        "(ISP)三种编程方式，几乎可以编程全部ATmega和ATtiny系列芯片。"),
    QT_TRANSLATE_NOOP(
        "Kestrel",
        "2，在并行编程方式下，芯片的FLASH、EEPROM、熔丝位和锁定位都可以任意编程，因此能为已加密或熔丝"
        "设置错误而被锁死的芯片解锁。"),
    QT_TRANSLATE_NOOP("Kestrel",
                      "3，板上带有12V DC-DC升压模块、大容量主控芯片和标准ISP接口，并有500mA过流保护。"),
    QT_TRANSLATE_NOOP("Kestrel", "4，详细的使用方法，请阅读编程器附带的使用说明书。"),
};

constexpr std::array<const char*, 2> kMakerLines = {
    QT_TRANSLATE_NOOP("Kestrel", "作者：Quintavel 工作室"),
    QT_TRANSLATE_NOOP("Kestrel", "联系：support@quintavel.example"),
};

}  // namespace

QString IntroText() {
  const QString indent = QString::fromLatin1(kIndent);
  QString text = Tr(kHeading) + QStringLiteral("\r\n\r\n");
  for (const char* paragraph : kParagraphs) {
    text += indent + Tr(paragraph) + QStringLiteral("\r\n");
    text += indent + QStringLiteral("\r\n");
  }
  text += indent + QStringLiteral("\r\n");
  text += indent + QStringLiteral("\r\n");
  text += indent + Tr(kMakerLines[0]) + QStringLiteral("\r\n");
  text += indent + Tr(kMakerLines[1]);
  return text;
}

}  // namespace kestrel::ui
