#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class TForm7;
}

namespace orvel {

// The direct-commands reference ("Polecenia bezpośrednie"), created once at start.
class TForm7 : public QWidget {
  Q_OBJECT
 public:
  explicit TForm7(QWidget* parent = nullptr);
  ~TForm7() override;
  Ui::TForm7& ui() { return *ui_; }

 private:
  std::unique_ptr<Ui::TForm7> ui_;
};

}  // namespace orvel
