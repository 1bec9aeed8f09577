#pragma once
// The two items of the template files: an integer is 8 ASCII bytes ("%8d"), a string is an
// integer byte count followed by that many raw bytes. Both files ("Terminals.dat" and a device
// template) are built from them; one item layout serves reading and writing.
//
// The reader works on the file's bytes in memory and never reads past them: a short item, a
// string length outside the format or a count that the bytes left cannot hold marks it failed,
// and every later read gives 0 or an empty text. The writer collects the file in memory and
// fails on anything the reader would not take back, so nothing is written before it is known
// to be good.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/text/CString.h"

inline constexpr const char* kTerminalFileHeader = "Orlimo Terminal Templet, Ver:2.0";
inline constexpr const char* kDeviceFileHeader = "Orlimo Device Templet, Ver:2.0";
inline constexpr const char* kTerminalFileName = "Terminals.dat";

// Limits of the items: the integer's 8 characters and the reader's 10,240-byte buffer.
inline constexpr int kTemplateIntMin = -9999999;
inline constexpr int kTemplateIntMax = 99999999;
inline constexpr int kTemplateStringMax = 10239;
inline constexpr size_t kTemplateItemSize = 8;

class TemplateFileReader {
public:
    static constexpr bool kReading = true;

    // The reader only looks at the bytes; they must outlive it.
    explicit TemplateFileReader(std::string_view data) : m_data(data) {}
    explicit TemplateFileReader(std::string&&) = delete;

    // 8 bytes read like atoi: leading blanks, an optional sign, digits up to the first other byte.
    int ReadInt();
    // Keeps every byte, zero bytes included.
    CString ReadString();
    // A count of items that take at least minBytes each; negative or too many fails.
    int ReadCount(size_t minBytes);

    bool Failed() const { return m_failed; }
    size_t Left() const { return m_data.size() - m_pos; }

    // The item layout's side of the reader.
    bool Int(int& value) {
        value = ReadInt();
        return !m_failed;
    }
    bool String(CString& text) {
        text = ReadString();
        return !m_failed;
    }
    bool Count(int& count, size_t minBytes) {
        count = ReadCount(minBytes);
        return !m_failed;
    }
    bool Fail() {
        m_failed = true;
        return false;
    }

private:
    std::string_view m_data;
    size_t m_pos = 0;
    bool m_failed = false;
};

class TemplateFileWriter {
public:
    static constexpr bool kReading = false;

    // Fails for a value that does not fit in 8 characters.
    void WriteInt(int value);
    // Fails for a text longer than the reader takes.
    void WriteString(const CString& text);

    bool Failed() const { return m_failed; }
    const std::string& Bytes() const { return m_bytes; }

    bool Int(int value) {
        WriteInt(value);
        return !m_failed;
    }
    bool String(const CString& text) {
        WriteString(text);
        return !m_failed;
    }
    bool Count(int count, size_t) { return Int(count); }
    bool Fail() {
        m_failed = true;
        return false;
    }

private:
    std::string m_bytes;
    bool m_failed = false;
};
