#include "config/sheet/text_room.h"

#include <QList>
#include <QString>

#include <algorithm>

#include "platform/message_box.h"

std::string TextAsShown(std::string_view bytes, std::size_t room) {
    const QString shown = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    std::string text;
    for (const char32_t code : shown.toUcs4()) {
        const QByteArray character = QString::fromUcs4(&code, 1).toUtf8();
        if (text.size() + static_cast<std::size_t>(character.size()) > room) {
            break;  // the next character would not fit whole
        }
        text.append(character.constData(), static_cast<std::size_t>(character.size()));
    }
    return text;
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
