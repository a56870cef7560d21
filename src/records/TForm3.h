#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class TForm3;
}

namespace orvel {

// The user and car data window ("Użytkownik programu/dane samochodu"), created once at start.
class TForm3 : public QWidget {
  Q_OBJECT
 public:
  explicit TForm3(QWidget* parent = nullptr);
  ~TForm3() override;
  Ui::TForm3& ui() { return *ui_; }

 private:
  std::unique_ptr<Ui::TForm3> ui_;
};

}  // namespace orvel
