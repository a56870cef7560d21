#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class TForm2;
}

namespace orvel {

// The file viewer ("Odczyt pliku"), created once at start, not modal.
class TForm2 : public QWidget {
  Q_OBJECT
 public:
  explicit TForm2(QWidget* parent = nullptr);
  ~TForm2() override;
  Ui::TForm2& ui() { return *ui_; }

 private:
  std::unique_ptr<Ui::TForm2> ui_;
};

}  // namespace orvel
