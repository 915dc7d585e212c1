#include "crash/DumpText.h"

#include <cxxabi.h>

#include <exception>
#include <typeinfo>

TDumpText& TDumpText::Add(const char* text) {
    if (text == nullptr) return *this;
    std::size_t size = 0;
    while (text[size] != '\0') ++size;
    return Add(text, size);
}

TDumpText& TDumpText::Add(const char* data, std::size_t size) {
    while (size > 0) {
        if (FSize == sizeof FBuffer) Flush();
        std::size_t n = sizeof FBuffer - FSize;
        if (n > size) n = size;
        for (std::size_t i = 0; i < n; ++i) FBuffer[FSize + i] = data[i];
        FSize += n;
        data += n;
        size -= n;
    }
    return *this;
}

TDumpText& TDumpText::AddLine(const char* text, std::size_t limit) {
    if (text == nullptr) return *this;
    for (std::size_t i = 0; i < limit && text[i] != '\0'; ++i) {
        const char c = static_cast<unsigned char>(text[i]) < 0x20 || text[i] == 0x7f ? ' ' : text[i];
        Add(&c, 1);
    }
    return *this;
}

TDumpText& TDumpText::AddDec(std::uint64_t value) {
    char digits[24];
    std::size_t n = 0;
    do {
        digits[sizeof digits - 1 - n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    return Add(digits + sizeof digits - n, n);
}

TDumpText& TDumpText::AddHex(std::uint64_t value) {
    char digits[18];
    std::size_t n = 0;
    do {
        digits[sizeof digits - 1 - n++] = "0123456789abcdef"[value & 0xf];
        value >>= 4;
    } while (value != 0);
    digits[sizeof digits - 1 - n++] = 'x';
    digits[sizeof digits - 1 - n++] = '0';
    return Add(digits + sizeof digits - n, n);
}

void TDumpText::Flush() {
    if (FSize > 0) FSink(FBuffer, FSize);
    FSize = 0;
}

void WriteDumpHead(TDumpText& out, const TCrashFacts& facts) {
    constexpr std::size_t LineLimit = 1000;
    out.Add(DumpFirstLine);
    out.Add("version ").AddLine(facts.Version, 100).Add("\n");
    out.Add("time ");
    if (facts.Time < 0) out.Add("-");
    out.AddDec(static_cast<std::uint64_t>(facts.Time < 0 ? -facts.Time : facts.Time)).Add("\n");
    out.Add("process ").AddDec(facts.Process).Add("\n");
    out.Add("thread ").AddDec(facts.Thread).Add(facts.MainThread ? " main\n" : "\n");
    out.Add("event ").AddLine(facts.Event, LineLimit).Add("\n");
    if (facts.HasAddress) out.Add("address ").AddHex(facts.Address).Add("\n");
    if (facts.ExceptionType != nullptr)
        out.Add("exception ").AddLine(facts.ExceptionType, LineLimit).Add("\n");
    if (facts.Message != nullptr) out.Add("message ").AddLine(facts.Message, LineLimit).Add("\n");
    if (facts.Where != nullptr) out.Add("where ").AddLine(facts.Where, LineLimit).Add("\n");
    out.Add("top ").Add(facts.TopExact ? "exact\n" : "return\n");
    for (std::size_t i = 0; i < facts.FrameCount; ++i)
        out.Add("frame ").AddHex(reinterpret_cast<std::uintptr_t>(facts.Frames[i])).Add("\n");
}

void CopyText(char* target, std::size_t size, const char* text) {
    std::size_t i = 0;
    for (; text != nullptr && text[i] != '\0' && i + 1 < size; ++i) target[i] = text[i];
    target[i] = '\0';
}

void DescribeCurrentException(TCrashFacts& facts, char* type, std::size_t typeSize, char* message,
                              std::size_t messageSize) {
    const std::type_info* current = abi::__cxa_current_exception_type();
    if (current == nullptr) return;
    CopyText(type, typeSize, current->name());
    facts.ExceptionType = type;
    try {
        throw;
    } catch (const std::exception& e) {
        CopyText(message, messageSize, e.what());
        facts.Message = message;
    } catch (...) {
    }
}
