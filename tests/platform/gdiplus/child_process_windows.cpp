// Windows programs started by the Windows tests, with their output in a file.
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// As host_program_windows.h declares it; the test headers' Windows-like
// types clash with <windows.h>.
int RunWindowsProgram(const std::filesystem::path& exe, const std::vector<std::string>& args,
                      const std::filesystem::path& folder, const std::filesystem::path& output,
                      int seconds);
std::filesystem::path ProgramFolder();
bool ModuleLoaded(const std::string& name);

// One argument quoted as the Windows command line is split again
// (convert_windows.cpp).
std::wstring QuotedArgument(const std::wstring& a);

int RunWindowsProgram(const std::filesystem::path& exe, const std::vector<std::string>& args,
                      const std::filesystem::path& folder, const std::filesystem::path& output,
                      int seconds) {
    std::wstring command = QuotedArgument(exe.wstring());
    for (const std::string& a : args)
        command += L" " + QuotedArgument(std::filesystem::path(a).wstring());
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileW(output.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return -1;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = out;
    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessW(exe.wstring().c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       folder.wstring().c_str(), &startup, &process);
    CloseHandle(out);
    if (!started) return -1;
    CloseHandle(process.hThread);
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(seconds) * 1000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    else
        GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

std::filesystem::path ProgramFolder() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), DWORD(path.size())));
    return std::filesystem::path(path).parent_path();
}

bool ModuleLoaded(const std::string& name) {
    return GetModuleHandleW(std::filesystem::path(name).wstring().c_str()) != nullptr;
}

}  // namespace testsupport
