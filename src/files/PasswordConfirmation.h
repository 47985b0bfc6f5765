#pragma once

#include <QString>

class PdfDocument;

// What happens when the user confirms a password prompt: the rules every
// prompt (dialog or terminal) applies to the two passwords it collected.
class PasswordConfirmation final {
public:
    struct Outcome {
        // The document is open and editable enough: close the prompt.
        bool unlocked = false;
        // Show the error line under the open-password field.
        bool lookPasswordError = false;
        // Show the error line under the edit-password field (only ever set
        // when that field is shown).
        bool editPasswordError = false;

        bool operator==(const Outcome &) const = default;
    };

    PasswordConfirmation() = delete;

    // Tries lookPassword, then editPassword, on document (which stays changed
    // by any attempt that succeeded). editPasswordShown tells whether the
    // user could type an edit password at all.
    static Outcome confirm(PdfDocument *document, const QString &lookPassword, const QString &editPassword,
                           bool editPasswordShown);
};
