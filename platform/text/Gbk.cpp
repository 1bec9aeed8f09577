#include "platform/text/Gbk.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace {

// Owns one iconv descriptor.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {
        if (m_cd == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv_open failed for ") + from + " -> " + to);
    }
    ~Converter() { iconv_close(m_cd); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    std::string Convert(const std::string& in, size_t badInputStep, bool* exact = nullptr) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        std::string out;
        out.reserve(in.size() * 2);
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char buffer[1024];
        while (srcLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            size_t r = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, dst - buffer);
            if (r != static_cast<size_t>(-1))
                continue;
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL (truncated sequence): mark it and step over the bad input.
            out += '?';
            if (exact)
                *exact = false;
            size_t step = std::min(badInputStep, srcLeft);
            if (errno == EILSEQ && badInputStep > 1)
                step = StepOverUtf8(src, srcLeft);
            src += step;
            srcLeft -= step;
        }
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        iconv(m_cd, nullptr, nullptr, &dst, &dstLeft);
        out.append(buffer, dst - buffer);
        return out;
    }

private:
    // Length of the UTF-8 character at src (1 for a stray byte), so one '?' replaces it.
    static size_t StepOverUtf8(const char* src, size_t left) {
        unsigned char c = static_cast<unsigned char>(src[0]);
        size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        size_t i = 1;
        while (i < n && i < left && (static_cast<unsigned char>(src[i]) & 0xC0) == 0x80)
            ++i;
        return i;
    }
    iconv_t m_cd;
};

const char* GbkName() {
    // Code page 936 is GBK plus the euro sign at 0x80; fall back to plain GBK.
    iconv_t probe = iconv_open("UTF-8", "CP936");
    if (probe != reinterpret_cast<iconv_t>(-1)) {
        iconv_close(probe);
        return "CP936";
    }
    return "GBK";
}

} // namespace

std::string GbkToUtf8(const CString& gbk) {
    thread_local Converter converter("UTF-8", GbkName());
    return converter.Convert(gbk.str(), 1);
}

CString Utf8ToGbk(const std::string& utf8, bool* exact) {
    thread_local Converter converter(GbkName(), "UTF-8");
    if (exact)
        *exact = true;
    return CString(converter.Convert(utf8, 4, exact));
}
