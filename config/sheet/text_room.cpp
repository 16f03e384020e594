#include "config/sheet/text_room.h"

#include <QString>

#include <algorithm>

#include "platform/message_box.h"

std::string_view Utf8Prefix(std::string_view text, std::size_t room) {
    if (text.size() <= room) {
        return text;
    }
    // Step back over continuation bytes (10xxxxxx) to the start of the
    // character that would be split.
    std::size_t end = room;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return text.substr(0, end);
}

std::string TextAsShown(std::string_view bytes, std::size_t room) {
    const QByteArray shown =
        QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())).toUtf8();
    return std::string(Utf8Prefix(
        std::string_view(shown.constData(), static_cast<std::size_t>(shown.size())), room));
}

std::string FieldTextAsShown(ConstSectionBytes section, const SectionField& field,
                             std::size_t room) {
    return TextAsShown(ReadText(section, field), room);
}

std::optional<TextToWrite> FirstTextBeyondRoom(std::span<const TextToWrite> texts) {
    const auto found =
        std::find_if(texts.begin(), texts.end(), [](const TextToWrite& t) { return !t.Fits(); });
    if (found == texts.end()) {
        return std::nullopt;
    }
    return *found;
}

std::string TextBeyondRoomMessage(const TextToWrite& text) {
    return "\"" + text.field + "\" does not fit: the device keeps at most " +
           std::to_string(text.room) +
           " bytes of it, and a character beyond plain ASCII takes two or more. Nothing was "
           "sent.";
}

void RefuseText(const TextToWrite& text) {
    platform::ShowMessageBox(0, TextBeyondRoomMessage(text));
}
