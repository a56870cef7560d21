#pragma once

#include "app/TForm1.h"
#include "sync/ServerStatus.h"

#include <functional>
#include <memory>

namespace orvel {

class ArchiveExchange;
class ArchiveRecorder;
class ArchiveWindow;
class RecordsCommands;
class ServiceConsole;
class ServerDialog;
class SyncWorker;
class TAboutBox;
class TEdytuj_dane;
class TForm2;
class TForm3;
class TForm7;

// The program body: creates every window once, in a fixed order (the main window first, whose
// creation reads the configuration and opens the port), and wires the subsystems together. Only
// the main window is shown; the others live until the program ends.
class Program {
 public:
  explicit Program(Environment environment);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  void show();

  TForm1& form1() { return *form1_; }
  TForm3& form3() { return *form3_; }
  TAboutBox& aboutBox() { return *aboutBox_; }
  TEdytuj_dane& editor() { return *editor_; }
  TForm7& form7() { return *form7_; }
  TForm2& form2() { return *form2_; }
  ArchiveWindow& archiveWindow() { return *archiveWindow_; }
  ArchiveRecorder& archive() { return *archive_; }

 private:
  void wire();
  // Each subsystem binds itself to the windows and the link in a function of its own.
  void wireSettingsEditor();  // app/SettingsWiring.cpp
  void wireOscilloscope();    // app/MonitorWiring.cpp
  void wireService();         // app/ServiceWiring.cpp
  void wireRecords();         // app/RecordsWiring.cpp
  void wireCalibration();     // app/CalibrationWiring.cpp
  void wireArchive();         // app/ArchiveWiring.cpp, after the settings editor's
  void wireArchiveServer();   // app/ArchiveServerWiring.cpp, after the archive's
  // (Re)starts the transfers to the server registry.ini names; none when it names none.
  void startArchiveServer();

  std::unique_ptr<TForm1> form1_;
  std::unique_ptr<TForm3> form3_;
  std::unique_ptr<TAboutBox> aboutBox_;
  std::unique_ptr<TEdytuj_dane> editor_;
  std::unique_ptr<TForm7> form7_;
  std::unique_ptr<TForm2> form2_;
  std::unique_ptr<RecordsCommands> records_;
  std::unique_ptr<ArchiveRecorder> archive_;
  std::unique_ptr<ArchiveExchange> archiveExchange_;
  std::unique_ptr<ArchiveWindow> archiveWindow_;
  ServiceConsole* console_ = nullptr;  // owned by the main window's widgets
  std::function<QString()> archiveDirectory_;
  std::unique_ptr<SyncWorker> sync_;
  std::shared_ptr<ServerStatus> serverStatus_ = std::make_shared<ServerStatus>();  // as last shown
  ServerDialog* serverDialog_ = nullptr;  // the main window's, made on first use
};

}  // namespace orvel
