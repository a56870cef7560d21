#pragma once

namespace orvel {

class DriveLog;
class TForm1;

// "Przeglądaj zapis...": the drive log viewer, made on first use, replaying through the drive
// log's replay.
void wireLogViewer(TForm1& main, DriveLog& driveLog);

}  // namespace orvel
