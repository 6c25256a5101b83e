#include "cli/station/unit_log_name.h"

#include "cli/station/local_time.h"
#include "cli/station/station_files.h"

namespace zelvar::cli {

namespace {

bool IsSafeByte(char c, bool leading) {
    if (c >= 'a' && c <= 'z') return true;
    if (c >= 'A' && c <= 'Z') return true;
    if (c >= '0' && c <= '9') return true;
    return c == '-' || c == '_' || (c == '.' && !leading);  // no hidden files
}

}  // namespace

std::string FileSafePortName(const std::string& port) {
    std::string name = port.substr(port.find_last_of('/') + 1);
    while (!name.empty() && name.back() == ':') name.pop_back();
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (!IsSafeByte(name[i], i == 0)) name[i] = '_';
    }
    return name.empty() ? "port" : name;
}

std::string UnitLogName(const std::string& port, const std::tm& startLocal, int counter) {
    char stamp[sizeof "YYYYMMDD-HHMMSS"];
    if (std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &startLocal) == 0) stamp[0] = '\0';
    std::string name = FileSafePortName(port);
    name += '-';
    name += stamp;
    if (counter > 1) {
        name += '-';
        name += std::to_string(counter);
    }
    name += ".txt";
    return name;
}

std::string ClaimUnitLogPath(const std::string& logDir, const std::string& port, std::time_t start,
                             std::string& error) {
    const std::tm local = LocalTime(start);
    const std::string dir = DirectoryPrefix(logDir);
    for (int counter = 1; counter <= kMaxLogNameCounter; ++counter) {
        const std::string path = dir + UnitLogName(port, local, counter);
        const NewFile made = CreateNewFile(path, error);
        if (made == NewFile::kCreated) return path;
        if (made == NewFile::kFailed) return {};
    }
    error = dir + UnitLogName(port, local) + ": every name up to -" +
            std::to_string(kMaxLogNameCounter) + " is taken";
    return {};
}

}  // namespace zelvar::cli
