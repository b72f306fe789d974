#pragma once

#include <QDialog>

namespace kestrel::ui {

// The About box: the program's icon, what the product is and who makes it, and "确定".
class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace kestrel::ui
