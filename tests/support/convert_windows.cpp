// ImageMagick's convert for the Windows build of the tests, and any other
// program of the host (RunOnHost, host_program_windows.h). Under Wine it is
// the host's own Linux program, which Wine starts directly; every Windows
// path among the arguments (also after a "FORMAT:" prefix) becomes the host
// path Wine maps it to. Wine neither waits for a Linux process nor reports
// its exit code, so the host's shell runs the program and leaves the code in
// a file, which is awaited. Elsewhere there is no host, and the tests that
// need it skip.
#include <windows.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace testsupport {

// As runtime_files.h and host_program_windows.h declare them; the first
// header's Windows-like types clash with <windows.h>.
bool Convert(const std::vector<std::string>& args);
bool RunOnHost(const std::string& program, const std::vector<std::string>& args);
std::wstring QuotedArgument(const std::wstring& a);
std::string ShellQuoted(const std::string& word);

namespace {

using UnixNameOf = char* (*)(const wchar_t*);

UnixNameOf WineUnixNames() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel == nullptr ? nullptr
                             : reinterpret_cast<UnixNameOf>(reinterpret_cast<void (*)()>(
                                   GetProcAddress(kernel, "wine_get_unix_file_name")));
}

std::wstring Wide(const std::string& text, UINT codePage = CP_ACP) {
    const int n = MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring out(std::size_t(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), out.data(), n);
    return out;
}

// The host names its files in UTF-8 (as Wine's Unix names come), whatever
// the Windows code page: a checkout under a Chinese folder name has them.
std::wstring WideFromHost(const std::string& text) {
    return Wide(text, CP_UTF8);
}

// "C:\x" or "pam:C:\x": where a drive path starts in an argument, or npos.
std::size_t DrivePathAt(const std::string& arg) {
    for (std::size_t i = 0; i + 2 < arg.size(); ++i)
        if (std::isalpha(static_cast<unsigned char>(arg[i])) && arg[i + 1] == ':' &&
            (arg[i + 2] == '\\' || arg[i + 2] == '/') && (i == 0 || arg[i - 1] == ':'))
            return i;
    return std::string::npos;
}

std::wstring HostArgument(const std::string& arg, UnixNameOf unixName) {
    const std::size_t at = DrivePathAt(arg);
    if (at == std::string::npos) return Wide(arg);
    char* host = unixName(Wide(arg.substr(at)).c_str());
    if (host == nullptr) return Wide(arg);
    std::wstring mapped = Wide(arg.substr(0, at)) + WideFromHost(host);
    HeapFree(GetProcessHeap(), 0, host);
    return mapped;
}

// Waits for the shell to leave the exit code in the file; false when it never
// comes.
bool AwaitExitCode(const std::wstring& file, int& code) {
    for (int waited = 0; waited < 120000; waited += 20) {
        std::ifstream in{std::filesystem::path(file)};
        if (in >> code) return true;
        Sleep(20);
    }
    return false;
}

}  // namespace

// Quoted as the Windows command line is split again.
std::wstring QuotedArgument(const std::wstring& a) {
    if (!a.empty() && a.find_first_of(L" \t\"") == std::wstring::npos) return a;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : a) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

bool RunOnHost(const std::string& program, const std::vector<std::string>& args) {
    const UnixNameOf unixName = WineUnixNames();
    if (unixName == nullptr) return false;
    static int serial = 0;
    wchar_t folder[MAX_PATH + 1];
    if (GetTempPathW(MAX_PATH + 1, folder) == 0) return false;
    const std::wstring status = std::wstring(folder) + L"orv-convert-" +
                                std::to_wstring(GetCurrentProcessId()) + L"-" +
                                std::to_wstring(++serial) + L".status";
    DeleteFileW(status.c_str());
    char* hostStatus = unixName(status.c_str());
    if (hostStatus == nullptr) return false;
    const std::string done = ShellQuoted(hostStatus),
                      part = ShellQuoted(hostStatus + std::string(".part"));
    const std::string script =
        "\"$0\" \"$@\" >/dev/null 2>&1; echo $? >" + part + " && mv " + part + " " + done;
    HeapFree(GetProcessHeap(), 0, hostStatus);
    std::wstring command = L"Z:\\bin\\sh -c " + QuotedArgument(WideFromHost(script)) + L" " +
                           QuotedArgument(WideFromHost(program));
    for (const std::string& a : args) command += L" " + QuotedArgument(HostArgument(a, unixName));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    int code = -1;
    const bool finished = AwaitExitCode(status, code);
    DeleteFileW(status.c_str());
    return finished && code == 0;
}

bool Convert(const std::vector<std::string>& args) {
    return RunOnHost("convert", args);
}

}  // namespace testsupport
