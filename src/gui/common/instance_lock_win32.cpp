#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdlib>

#include "base/wide_text.h"
#include "gui/common/instance_lock.h"

namespace zelvar {

CInstanceLock::CInstanceLock(std::string path) : m_path(std::move(path)) {}

CInstanceLock::~CInstanceLock() {
    if (m_fd >= 0) _close(m_fd);
}

bool CInstanceLock::Acquire() {
    if (m_fd >= 0) return true;
    const std::wstring path = WideFromUtf8(m_path.c_str());
    if (path.empty()) return true;  // cannot check: run rather than refuse
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return true;
    // The system drops the lock with the handle, however the process ends.
    OVERLAPPED at{};
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        const DWORD error = GetLastError();
        CloseHandle(file);
        return error != ERROR_LOCK_VIOLATION;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR);
    if (fd < 0) {
        CloseHandle(file);
        return true;
    }
    m_fd = fd;
    return true;
}

std::string CInstanceLock::DefaultPath() {
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH) return "zelvar-loader.lock";
    return Utf8FromWide(temp, static_cast<int>(length)) + "zelvar-loader.lock";
}

}  // namespace zelvar
