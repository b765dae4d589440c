// Where the bytes of an output go: a file (COutputFile, CSplicedFile), a
// string, or nowhere (a walk that only looks).
#pragma once

#include <cstddef>
#include <string>

class CByteSink {
public:
    virtual ~CByteSink() = default;
    virtual void Write(const void* bytes, std::size_t size) = 0;
};

class CStringSink final : public CByteSink {
public:
    explicit CStringSink(std::string& into) : m_into(into) {}
    void Write(const void* bytes, std::size_t size) override {
        m_into.append(static_cast<const char*>(bytes), size);
    }

private:
    std::string& m_into;
};

class CNullSink final : public CByteSink {
public:
    void Write(const void*, std::size_t) override {}
};
