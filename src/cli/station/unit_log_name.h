// The names of the units' log files in the station's log directory: the port and the
// time the unit started, "ttyUSB0-20261208-194003.txt".
#pragma once

#include <ctime>
#include <string>

namespace zelvar::cli {

constexpr int kMaxLogNameCounter = 999;  // "-2" ... "-999" before a claim gives up

// The port's base name usable as part of a file name: a trailing ':' dropped, every byte
// but letters, digits, '-', '_' and a '.' not leading replaced by '_'; "port" when
// nothing is left ("/dev/ttyUSB0" -> "ttyUSB0", "GPS1:" -> "GPS1").
std::string FileSafePortName(const std::string& port);

// "<safe port>-YYYYMMDD-HHMMSS.txt" for startLocal, with "-<counter>" before ".txt"
// when counter is above 1.
std::string UnitLogName(const std::string& port, const std::tm& startLocal, int counter = 1);

// Creates the empty log file of a unit that started at start (local time) in logDir and
// returns its path. A name already taken, by an earlier unit or by another process at
// the same moment, moves on to the next counter. Empty, with error set, when no file
// could be created.
std::string ClaimUnitLogPath(const std::string& logDir, const std::string& port, std::time_t start,
                             std::string& error);

}  // namespace zelvar::cli
