#include <cctype>
#include <climits>

#include "protocol.h"

namespace {

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

void skipBlanks(const char*& text) {
    while (isBlank(*text)) ++text;
}

}  // namespace

const char* get_cmd_param(const char* name, const char* line) {
    for (; *name; ++name, ++line)
        if (std::tolower(static_cast<unsigned char>(*name)) != std::tolower(static_cast<unsigned char>(*line)))
            return nullptr;
    skipBlanks(line);
    return line;
}

// Like "%d": blanks, an optional sign, at least one digit. A number outside
// the int range is a failed scan.
bool scan_int(const char*& text, int& value) {
    const char* p = text;
    skipBlanks(p);
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (!isDigit(*p)) return false;
    long long magnitude = 0;
    for (; isDigit(*p); ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > static_cast<long long>(INT_MAX) + 1) return false;
    }
    if (!negative && magnitude > INT_MAX) return false;
    value = static_cast<int>(negative ? -magnitude : magnitude);
    text = p;
    return true;
}

namespace {

// "%d,%d": the comma right after the first number.
bool scan_pair(const char*& text, int& a, int& b) {
    if (!scan_int(text, a) || *text != ',') return false;
    ++text;
    return scan_int(text, b);
}

bool onBoard(int x, int y) { return x >= 0 && y >= 0 && x < width && y < height; }

}  // namespace

bool parse_coord(const char* text, int* x, int* y) {
    int a, b;
    if (!scan_pair(text, a, b)) return false;
    *x = a;
    *y = b;
    return onBoard(a, b);
}

void parse_3int_chk(const char* text, int* x, int* y, int* who) {
    int a, b, c;
    if (scan_pair(text, a, b) && *text == ',' && scan_int(++text, c) && onBoard(a, b)) {
        *x = a;
        *y = b;
        *who = c;
    } else {
        *who = 0;
    }
}

bool parse_swap2_stone(const char* text, int* x, int* y) {
    int a, b, colour;
    if (!scan_pair(text, a, b)) return false;
    if (*text == ',' && !scan_int(++text, colour)) return false;
    skipBlanks(text);
    if (*text != '\0') return false;
    *x = a;
    *y = b;
    return true;
}

bool scan_start_size(const char* text, int& size) { return scan_int(text, size); }

// "%d ,%d": blanks are allowed before the comma here.
bool scan_rectstart_size(const char* text, int& w, int& h) {
    if (!scan_int(text, w)) return false;
    skipBlanks(text);
    if (*text != ',') return false;
    ++text;
    return scan_int(text, h);
}

// Like atoi, but a value beyond the int range saturates.
int parse_info_value(const char* text) {
    skipBlanks(text);
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    long long magnitude = 0;
    for (; isDigit(*text); ++text)
        if (magnitude <= INT_MAX) magnitude = magnitude * 10 + (*text - '0');
    if (negative) return magnitude > static_cast<long long>(INT_MAX) + 1 ? INT_MIN : static_cast<int>(-magnitude);
    return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}
