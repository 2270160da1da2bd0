#include "common/wide_format.h"

#include <stdexcept>

namespace kestrove {

namespace {

void AppendNumber(std::u16string& out, std::uint64_t magnitude, bool negative, unsigned base,
                  bool upper, std::size_t width, bool zeroPad) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::u16string text;
    do {
        text.insert(text.begin(), static_cast<char16_t>(digits[magnitude % base]));
        magnitude /= base;
    } while (magnitude != 0);
    const std::size_t used = text.size() + (negative ? 1 : 0);
    const std::size_t padding = width > used ? width - used : 0;
    if (negative) {
        out.push_back(u'-');
    }
    out.append(padding, zeroPad ? u'0' : u' ');
    out += text;
}

} // namespace

std::u16string WideFormat(std::u16string_view format, std::initializer_list<FormatArg> args) {
    std::u16string out;
    auto next = args.begin();
    auto take = [&]() -> const FormatArg& {
        if (next == args.end()) {
            throw std::invalid_argument("format has more conversions than arguments");
        }
        return *next++;
    };
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != u'%') {
            out.push_back(format[i]);
            continue;
        }
        if (++i >= format.size()) {
            throw std::invalid_argument("format ends inside a conversion");
        }
        if (format[i] == u'%') {
            out.push_back(u'%');
            continue;
        }
        const bool zeroPad = format[i] == u'0';
        std::size_t width = 0;
        while (i < format.size() && format[i] >= u'0' && format[i] <= u'9') {
            width = width * 10 + static_cast<std::size_t>(format[i] - u'0');
            ++i;
        }
        if (i < format.size() && format[i] == u'l') {
            ++i;
        }
        if (i >= format.size()) {
            throw std::invalid_argument("format ends inside a conversion");
        }
        const char16_t conversion = format[i];
        const FormatArg& arg = take();
        if (conversion == u's') {
            const auto* text = std::get_if<std::u16string_view>(&arg);
            if (text == nullptr) {
                throw std::invalid_argument("%s needs a string");
            }
            if (text->size() < width) {
                out.append(width - text->size(), u' ');
            }
            out += *text;
            continue;
        }
        const auto* number = std::get_if<std::int64_t>(&arg);
        if (number == nullptr) {
            throw std::invalid_argument("numeric conversion needs a number");
        }
        switch (conversion) {
        case u'd': {
            const bool negative = *number < 0;
            const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(*number)
                                                     : static_cast<std::uint64_t>(*number);
            AppendNumber(out, magnitude, negative, 10, false, width, zeroPad);
            break;
        }
        case u'x':
        case u'X':
            // Hex conversions print the argument's 32-bit pattern, as the
            // Windows formatter does for its int-sized arguments.
            AppendNumber(out, static_cast<std::uint32_t>(*number), false, 16, conversion == u'X',
                         width, zeroPad);
            break;
        default:
            throw std::invalid_argument("unsupported conversion");
        }
    }
    return out;
}

} // namespace kestrove
