#pragma once

#include <QDialog>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QThread;

namespace orvel {

class LineCutter;

// "Serwer archiwum...": the libpq connection line of the workshop's archive server and the
// name this PC's read-outs carry there, with a connection test that runs off the interface
// thread. Only collects the choice; storing it and restarting the transfer is the caller's, on
// accepted(). A line with a password in it is never accepted: it would end up in a file.
class ServerDialog : public QDialog {
 public:
  explicit ServerDialog(QWidget* parent = nullptr);
  ~ServerDialog() override;

  void prepare(const QString& connection, const QString& site, const QString& defaultSite);
  QString connection() const;
  QString site() const;
  void retranslate();

  void done(int result) override;

 private:
  void test();
  void stopTest();

  QLabel* lineLabel_;
  QLineEdit* line_;
  QLabel* siteLabel_;
  QLineEdit* site_;
  QLabel* hint_;
  QPushButton* testButton_;
  QLabel* result_;
  QPushButton* okButton_;
  QPushButton* cancelButton_;
  QThread* testThread_ = nullptr;
  int testSerial_ = 0;
  std::shared_ptr<LineCutter> cutter_;
};

}  // namespace orvel
