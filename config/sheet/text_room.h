#pragma once

// Texts travel to the device in fixed byte fields as UTF-8: a field keeps a
// number of bytes, not of characters, and a character beyond plain ASCII
// takes two bytes or more. These helpers show a field's text the way an edit
// holds it (so that a page left alone compares equal with what the device
// holds) and find a text that a page hands over and its field cannot keep,
// so that it is refused, naming the field, before anything is sent. Nothing
// is ever cut to fit.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "config/sheet/section_field.h"

// The text of a field's bytes as an edit shows it: the bytes taken as UTF-8
// (a sequence that is not UTF-8 stands for U+FFFD, as the edit shows it),
// then cut to at most `room` bytes without splitting a character.
std::string TextAsShown(std::string_view bytes, std::size_t room = SIZE_MAX);
std::string FieldTextAsShown(ConstSectionBytes section, const SectionField& field,
                             std::size_t room = SIZE_MAX);

// A text a page hands to a save: written only when it differs from what the
// device holds, and then it must fit in `room` bytes.
struct TextToWrite {
    std::string field;  // as the page labels it, for the refusal
    std::string text;
    std::string deviceText;
    std::size_t room = 0;

    bool Written() const { return text != deviceText; }
    bool Fits() const { return !Written() || text.size() <= room; }
};

// The first text that would be written and does not fit; none when all fit.
std::optional<TextToWrite> FirstTextBeyondRoom(std::span<const TextToWrite> texts);

// The refusal's words, and the message box that says them.
std::string TextBeyondRoomMessage(const TextToWrite& text);
void RefuseText(const TextToWrite& text);
