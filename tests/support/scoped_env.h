// Environment variables and the current folder changed for one test and put
// back afterwards (scoped_env.cpp).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace testsupport {

// Sets the variable, or removes it for nullopt (one file per system).
void PutEnv(const std::string& name, const std::optional<std::string>& value);

class ScopedEnv {
public:
    // value nullopt: the variable is removed for the test.
    ScopedEnv(const char* name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

class ScopedCwd {
public:
    explicit ScopedCwd(const std::filesystem::path& to) : m_old(std::filesystem::current_path()) {
        std::filesystem::current_path(to);
    }
    ~ScopedCwd() {
        std::error_code ec;
        std::filesystem::current_path(m_old, ec);
    }
    ScopedCwd(const ScopedCwd&) = delete;
    ScopedCwd& operator=(const ScopedCwd&) = delete;

private:
    std::filesystem::path m_old;
};

}  // namespace testsupport
