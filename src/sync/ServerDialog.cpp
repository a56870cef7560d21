#include "sync/ServerDialog.h"

#include "core/ButtonRoom.h"
#include "core/Handlers.h"
#include "core/Language.h"
#include "sync/ServerLine.h"
#include "sync/ServerSchema.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

namespace orvel {

namespace {

QString checkText(const ServerCheck& check) {
  if (check.status.state != ServerStatus::State::Synced) return serverProblemText(check.status);
  if (check.tablesMissing)
    return tr3("Połączono; tabele archiwum zostaną założone przy pierwszym połączeniu.",
               "Connected; the archive tables will be created on first use.",
               "Connesso; le tabelle dell'archivio saranno create al primo uso.");
  return tr3("Połączono; odczytów na serwerze: %1.", "Connected; read-outs on the server: %1.",
             "Connesso; letture sul server: %1.")
      .arg(check.readouts);
}

}  // namespace

ServerDialog::ServerDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ServerDialog"));
  lineLabel_ = new QLabel(this);
  line_ = new QLineEdit(this);
  line_->setObjectName(QStringLiteral("EditSerwer"));
  siteLabel_ = new QLabel(this);
  site_ = new QLineEdit(this);
  site_->setObjectName(QStringLiteral("EditStanowisko"));
  hint_ = new QLabel(this);
  hint_->setWordWrap(true);
  testButton_ = new QPushButton(this);
  testButton_->setObjectName(QStringLiteral("BtnTestPolaczenia"));
  result_ = new QLabel(this);
  result_->setObjectName(QStringLiteral("LabelTest"));
  result_->setWordWrap(true);
  result_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  okButton_ = buttons->button(QDialogButtonBox::Ok);
  cancelButton_ = buttons->button(QDialogButtonBox::Cancel);
  auto* form = new QFormLayout;
  form->addRow(lineLabel_, line_);
  form->addRow(siteLabel_, site_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(hint_);
  layout->addWidget(testButton_, 0, Qt::AlignLeft);
  layout->addWidget(result_);
  layout->addStretch(1);
  layout->addWidget(buttons);

  onEvent(testButton_, &QPushButton::clicked, this, [this] { test(); });
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(line_, &QLineEdit::textEdited, result_, &QLabel::clear);
  retranslate();
}

ServerDialog::~ServerDialog() {
  stopTest();
}

void ServerDialog::retranslate() {
  setWindowTitle(tr3("Serwer archiwum", "Archive server", "Server dell'archivio"));
  lineLabel_->setText(tr3("Połączenie (libpq):", "Connection (libpq):", "Connessione (libpq):"));
  line_->setPlaceholderText(tr3("host=serwer dbname=orvel user=stanowisko1 sslmode=verify-full",
                                "host=server dbname=orvel user=workstation1 sslmode=verify-full",
                                "host=server dbname=orvel user=postazione1 sslmode=verify-full"));
  line_->setMinimumWidth(line_->fontMetrics().horizontalAdvance(line_->placeholderText()) + 24);
  siteLabel_->setText(tr3("Nazwa stanowiska:", "Name of this PC:", "Nome della postazione:"));
  hint_->setText(
      tr3("Puste pole: bez serwera, archiwum tylko na tym komputerze. Hasło nie jest "
          "tu zapisywane: ~/.pgpass albo certyfikat.",
          "Empty: no server, the archive stays on this PC. No password is stored "
          "here: use ~/.pgpass or a certificate.",
          "Vuoto: nessun server, l'archivio resta su questo PC. Nessuna password "
          "qui: usare ~/.pgpass o un certificato."));
  testButton_->setText(tr3("Sprawdź połączenie", "Test connection", "Verifica connessione"));
  giveRoom(testButton_);
  okButton_->setText(QStringLiteral("OK"));
  cancelButton_->setText(tr3("Anuluj", "Cancel", "Annulla"));
}

void ServerDialog::prepare(const QString& connection, const QString& site,
                           const QString& defaultSite) {
  line_->setText(connection);
  site_->setText(site);
  site_->setPlaceholderText(defaultSite);
  result_->clear();
}

QString ServerDialog::connection() const {
  return line_->text().trimmed();
}

QString ServerDialog::site() const {
  return site_->text().trimmed();
}

void ServerDialog::test() {
  stopTest();
  result_->setText(tr3("Łączenie...", "Connecting...", "Connessione..."));
  testButton_->setEnabled(false);
  cutter_ = std::make_shared<LineCutter>();
  auto check = std::make_shared<ServerCheck>();
  const QString line = connection();
  std::shared_ptr<LineCutter> cutter = cutter_;
  testThread_ = QThread::create([check, line, cutter] { *check = checkServer(line, *cutter); });
  const int serial = ++testSerial_;
  connect(testThread_, &QThread::finished, this, [this, serial, check] {
    // A test given up meanwhile (stopTest cuts it and moves the serial on) has nothing to say.
    if (serial != testSerial_) return;
    testThread_->deleteLater();
    testThread_ = nullptr;
    testButton_->setEnabled(true);
    result_->setText(checkText(*check));
  });
  testThread_->start();
}

void ServerDialog::stopTest() {
  if (!testThread_) return;
  cutter_->cut();
  testThread_->wait();
  delete testThread_;
  testThread_ = nullptr;
  ++testSerial_;
  testButton_->setEnabled(true);
}

void ServerDialog::done(int result) {
  if (result == QDialog::Accepted && !connection().isEmpty()) {
    const ServerLine checked = checkServerLine(connection());
    if (checked.kind == ServerLine::Problem::Password) {
      result_->setText(
          tr3("Hasło nie może być zapisane w registry.ini: zapisz je w ~/.pgpass "
              "(serwer:port:baza:użytkownik:hasło) i usuń z wiersza.",
              "A password cannot be stored in registry.ini: put it in ~/.pgpass "
              "(host:port:database:user:password) and remove it from the line.",
              "Una password non può essere salvata in registry.ini: metterla in "
              "~/.pgpass (host:porta:database:utente:password) e toglierla dalla "
              "riga."));
      return;
    }
    if (checked.kind == ServerLine::Problem::Semicolon) {
      result_->setText(tr3("Wiersz połączenia nie może zawierać średnika.",
                           "The connection line cannot contain a ';'.",
                           "La riga di connessione non può contenere ';'."));
      return;
    }
    if (checked.kind != ServerLine::Problem::None) {
      result_->setText(tr3("Błędny wiersz połączenia: %1", "The connection line is wrong: %1",
                           "Riga di connessione errata: %1")
                           .arg(checked.problem));
      return;
    }
  }
  stopTest();
  QDialog::done(result);
}

}  // namespace orvel
