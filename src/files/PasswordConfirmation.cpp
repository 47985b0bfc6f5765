#include "files/PasswordConfirmation.h"

#include "files/KDConvertFileManager.h"
#include "files/pdf/PdfDocument.h"

PasswordConfirmation::Outcome PasswordConfirmation::confirm(PdfDocument *document, const QString &lookPassword,
                                                            const QString &editPassword, bool editPasswordShown)
{
    bool opened = false;
    bool editable = false;
    if (document) {
        opened = document->unlockWithPassword(lookPassword);
        // Tried even when the first attempt failed or the field is hidden: on
        // an unlocked document it succeeds whatever the text, and the owner
        // password lifts the editing restrictions.
        if (document->unlockWithPassword(editPassword))
            editable = !KDConvertFileManager::isLockedWithEditPermission(document);
    }
    Outcome outcome;
    outcome.unlocked = opened && editable;
    if (!outcome.unlocked) {
        outcome.lookPasswordError = !opened;
        outcome.editPasswordError = editPasswordShown && !editable;
    }
    return outcome;
}
