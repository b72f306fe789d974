#include "ui/IntroText.h"

#include <array>

namespace kestrel::ui {
namespace {

constexpr char kIndent[] = "        ";

constexpr std::array<const char*, 4> kParagraphs = {
    "1，本编程器由我们自行设计，通过USB 1.1与电脑通讯，支持高压串行(HVSP)、高压并行(PP)和低压串行"
    "(ISP)三种编程方式，几乎可以编程全部ATmega和ATtiny系列芯片。",
    "2，在并行编程方式下，芯片的FLASH、EEPROM、熔丝位和锁定位都可以任意编程，因此能为已加密或熔丝"
    "设置错误而被锁死的芯片解锁。",
    "3，板上带有12V DC-DC升压模块、大容量主控芯片和标准ISP接口，并有500mA过流保护。",
    "4，详细的使用方法，请阅读编程器附带的使用说明书。",
};

constexpr std::array<const char*, 2> kMakerLines = {
    "作者：Quintavel 工作室",
    "联系：support@quintavel.example",
};

}  // namespace

std::string IntroText() {
  std::string text = "功能介绍：\r\n\r\n";
  for (const char* paragraph : kParagraphs) {
    text += std::string(kIndent) + paragraph + "\r\n";
    text += std::string(kIndent) + "\r\n";
  }
  text += std::string(kIndent) + "\r\n";
  text += std::string(kIndent) + "\r\n";
  text += std::string(kIndent) + kMakerLines[0] + "\r\n";
  text += std::string(kIndent) + kMakerLines[1];
  return text;
}

}  // namespace kestrel::ui
