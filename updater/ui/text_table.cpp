#include "updater/ui/text_table.h"

#include <cwctype>

namespace vantor {

std::uint32_t keyHash(std::wstring_view key) noexcept
{
    std::uint32_t h = 0;
    for (wchar_t unit : key) {
        h = 31u * h + static_cast<std::uint32_t>(static_cast<std::uint16_t>(unit));
    }
    return h;
}

namespace {

constexpr wchar_t kByteOrderMark = 0xFEFF;

bool isSpace(wchar_t unit)
{
    return std::iswspace(static_cast<std::wint_t>(unit)) != 0;
}

// A run of the text being parsed: where its first counted unit stands and
// how many units were counted. Empty while nothing was counted.
struct Pending {
    std::size_t start = 0;
    std::size_t count = 0;

    bool empty() const { return count == 0; }
    void add(std::size_t position)
    {
        if (count == 0) {
            start = position;
        }
        ++count;
    }
};

class Parser;

// One state of the parser: decides what a unit means in its context.
class State {
public:
    virtual ~State() = default;
    virtual void handle(Parser& parser, wchar_t unit, std::size_t position) const = 0;
};

class KeyState final : public State {
public:
    void handle(Parser& parser, wchar_t unit, std::size_t position) const override;
};

class ValueState final : public State {
public:
    void handle(Parser& parser, wchar_t unit, std::size_t position) const override;
};

class CommentState final : public State {
public:
    void handle(Parser& parser, wchar_t unit, std::size_t position) const override;
};

const KeyState kKeyState;
const ValueState kValueState;
const CommentState kCommentState;

class Parser {
public:
    Parser(std::wstring_view text, std::map<std::int32_t, std::wstring>& texts) : m_text(text), m_texts(texts) {}

    void run()
    {
        for (std::size_t i = 0; i < m_text.size() && m_text[i] != L'\0'; ++i) {
            m_state->handle(*this, m_text[i], i);
        }
        storePending();
    }

    void toKey()
    {
        m_key = Pending{};
        m_state = &kKeyState;
    }
    void toValue()
    {
        m_value = Pending{};
        m_state = &kValueState;
    }
    void toComment() { m_state = &kCommentState; }

    Pending& key() { return m_key; }
    Pending& value() { return m_value; }

    // Stores the pending key and value when both hold text, unless the key's
    // hash is already present; a stored entry clears both. A pending value
    // without a key stays pending.
    void storePending()
    {
        if (m_key.empty() || m_value.empty()) {
            return;
        }
        const std::wstring_view keyText = m_text.substr(m_key.start, m_key.count);
        const std::wstring_view valueText = m_text.substr(m_value.start, m_value.count);
        m_texts.emplace(static_cast<std::int32_t>(keyHash(keyText)), std::wstring(valueText));
        m_key = Pending{};
        m_value = Pending{};
    }

private:
    std::wstring_view m_text;
    std::map<std::int32_t, std::wstring>& m_texts;
    const State* m_state = &kKeyState;
    Pending m_key;
    Pending m_value;
};

void KeyState::handle(Parser& parser, wchar_t unit, std::size_t position) const
{
    if (unit == L'=') {
        parser.toValue();
    } else if (unit == L'#') {
        parser.toComment();
    } else if (!isSpace(unit) && unit != kByteOrderMark) {
        parser.key().add(position);
    }
}

void ValueState::handle(Parser& parser, wchar_t unit, std::size_t position) const
{
    if (unit == L'\n') {
        parser.storePending();
        parser.toKey();
    } else if (unit == L' ' || !isSpace(unit)) {
        parser.value().add(position);
    }
}

void CommentState::handle(Parser& parser, wchar_t unit, std::size_t) const
{
    if (unit == L'\n') {
        parser.storePending();
        parser.toKey();
    }
}

}  // namespace

void TextTable::parse(std::wstring_view text)
{
    Parser(text, m_texts).run();
}

const wchar_t* TextTable::lookup(const wchar_t* key) const
{
    if (key == nullptr) {
        return key;
    }
    const auto found = m_texts.find(static_cast<std::int32_t>(keyHash(key)));
    if (found == m_texts.end() || found->second.empty()) {
        return key;
    }
    return found->second.c_str();
}

}  // namespace vantor
