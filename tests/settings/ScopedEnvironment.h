#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace kinetar::test {

// Sets an environment variable for the lifetime of this object, then puts back what was there.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::string& value) : m_name(std::move(name))
    {
        if (const char* old = std::getenv(m_name.c_str())) {
            m_old = old;
        }
        ::setenv(m_name.c_str(), value.c_str(), 1);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() { m_old ? ::setenv(m_name.c_str(), m_old->c_str(), 1) : ::unsetenv(m_name.c_str()); }

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

}  // namespace kinetar::test
