<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name></name>
    <message id="MenuFile">
        <source>Files</source>
        <translation>Datei</translation>
    </message>
    <message id="Language">
        <source>Language</source>
        <translation>Sprache</translation>
    </message>
    <message id="Help">
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message id="AddFiles">
        <source>Add Files</source>
        <translation>Dateien hinzufügen</translation>
    </message>
    <message id="RemoveSelected">
        <source>Remove Selected</source>
        <translation>Auswahl entfernen</translation>
    </message>
    <message id="ClearTask">
        <source>Clear List</source>
        <translation>Liste leeren</translation>
    </message>
    <message id="OutputFormat">
        <source>Output Format</source>
        <translation>Ausgabeformat</translation>
    </message>
    <message id="OutputDir">
        <source>Output Folder</source>
        <translation>Ausgabeordner</translation>
    </message>
    <message id="OpenFolder">
        <source>Open Folder</source>
        <translation>Ordner öffnen</translation>
    </message>
    <message id="StartConvert">
        <source>Start</source>
        <translation>Starten</translation>
    </message>
    <message id="Support">
        <source>Support</source>
        <translation>Support</translation>
    </message>
    <message id="Feedback">
        <source>Feedback</source>
        <translation>Feedback</translation>
    </message>
    <message id="CheckUpdate">
        <source>Check for Updates</source>
        <translation>Nach Updates suchen</translation>
    </message>
    <message id="About">
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message id="Converting">
        <source>Converting</source>
        <translation>Wird konvertiert</translation>
    </message>
    <message id="Cancel">
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message id="Finished">
        <source>Finished</source>
        <translation>Fertig</translation>
    </message>
    <message id="ConvertFailed">
        <source>Conversion failed</source>
        <translation>Konvertierung fehlgeschlagen</translation>
    </message>
    <message id="DragFiles">
        <source>Drag files here or click Add Files</source>
        <translation>Dateien hierher ziehen oder auf „Dateien hinzufügen“ klicken</translation>
    </message>
    <message id="ConvertFromPdf">
        <source>Convert from PDF</source>
        <translation>Aus PDF konvertieren</translation>
    </message>
    <message id="ConvertToPdf">
        <source>Convert to PDF</source>
        <translation>In PDF konvertieren</translation>
    </message>
    <message id="MergePdf">
        <source>Merge PDFs</source>
        <translation>PDFs zusammenführen</translation>
    </message>
    <message id="inputFileLookPassword">
        <source>Enter the password to open this file</source>
        <translation>Geben Sie das Passwort zum Öffnen dieser Datei ein</translation>
    </message>
    <message id="inputFileEidtPassword">
        <source>Enter the permissions password to allow editing</source>
        <translation>Geben Sie das Berechtigungspasswort ein, um die Bearbeitung zu erlauben</translation>
    </message>
    <message id="canIgnoreIfNot">
        <source>Leave it empty if the file has none</source>
        <translation>Leer lassen, wenn die Datei keines hat</translation>
    </message>
    <message id="PasswordError">
        <source>Wrong password</source>
        <translation>Falsches Passwort</translation>
    </message>
    <message id="OK">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="UpdateChecking">
        <source>Checking for updates…</source>
        <translation>Suche nach Updates …</translation>
    </message>
    <message id="UpdateAvailable">
        <source>A new version is available</source>
        <translation>Eine neue Version ist verfügbar</translation>
    </message>
    <message id="UpdateAvailableDetail">
        <source>Version %1 is ready to download. You have version %2.</source>
        <translation>Version %1 steht zum Download bereit. Sie verwenden Version %2.</translation>
    </message>
    <message id="UpdateUpToDate">
        <source>You're up to date</source>
        <translation>Sie sind auf dem neuesten Stand</translation>
    </message>
    <message id="UpdateUpToDateDetail">
        <source>Version %1 is the latest version.</source>
        <translation>Version %1 ist die neueste Version.</translation>
    </message>
    <message id="UpdateNotConfigured">
        <source>Update checks are not set up</source>
        <translation>Die Update-Suche ist nicht eingerichtet</translation>
    </message>
    <message id="UpdateNotConfiguredDetail">
        <source>No update address has been configured for this installation.</source>
        <translation>Für diese Installation ist keine Update-Adresse konfiguriert.</translation>
    </message>
    <message id="UpdateFailed">
        <source>Could not check for updates</source>
        <translation>Die Suche nach Updates ist fehlgeschlagen</translation>
    </message>
    <message id="Download">
        <source>Download</source>
        <translation>Herunterladen</translation>
    </message>
    <message id="Later">
        <source>Later</source>
        <translation>Später</translation>
    </message>
    <message id="Account">
        <source>Account</source>
        <translation>Konto</translation>
    </message>
    <message id="AccountSignedIn">
        <source>Signed in</source>
        <translation>Angemeldet</translation>
    </message>
    <message id="AccountSignedOut">
        <source>Not signed in</source>
        <translation>Nicht angemeldet</translation>
    </message>
    <message id="AccountToken">
        <source>Identity token: %1</source>
        <translation>Identitätstoken: %1</translation>
    </message>
    <message id="AccountTokenHint">
        <source>Paste the identity token of your account to sign in.</source>
        <translation>Fügen Sie das Identitätstoken Ihres Kontos ein, um sich anzumelden.</translation>
    </message>
    <message id="AccountTokenPlaceholder">
        <source>Identity token</source>
        <translation>Identitätstoken</translation>
    </message>
    <message id="AccountSaveFailed">
        <source>The token could not be saved.</source>
        <translation>Das Token konnte nicht gespeichert werden.</translation>
    </message>
    <message id="SignIn">
        <source>Sign In</source>
        <translation>Anmelden</translation>
    </message>
    <message id="SignOut">
        <source>Sign Out</source>
        <translation>Abmelden</translation>
    </message>
    <message id="ReasonUpload">
        <source>Could not be uploaded to the conversion service</source>
        <translation>Konnte nicht zum Konvertierungsdienst hochgeladen werden</translation>
    </message>
    <message id="ReasonCreate">
        <source>The conversion service did not accept the file</source>
        <translation>Der Konvertierungsdienst hat die Datei nicht angenommen</translation>
    </message>
    <message id="ReasonConvert">
        <source>The conversion service could not convert the file</source>
        <translation>Der Konvertierungsdienst konnte die Datei nicht konvertieren</translation>
    </message>
    <message id="ReasonDownload">
        <source>The result could not be downloaded into the output folder</source>
        <translation>Das Ergebnis konnte nicht in den Ausgabeordner geladen werden</translation>
    </message>
    <message id="ReasonService">
        <source>Could not connect to the conversion service</source>
        <translation>Keine Verbindung zum Konvertierungsdienst</translation>
    </message>
    <message id="ReasonCredentials">
        <source>The conversion service refused the upload</source>
        <translation>Der Konvertierungsdienst hat das Hochladen abgelehnt</translation>
    </message>
    <message id="ReasonMerge">
        <source>The conversion service could not merge the files</source>
        <translation>Der Konvertierungsdienst konnte die Dateien nicht zusammenführen</translation>
    </message>
    <message id="SummaryConverted">
        <source>%1 converted</source>
        <translation>%1 konvertiert</translation>
    </message>
    <message id="SummaryFailed">
        <source>%1 failed</source>
        <translation>%1 fehlgeschlagen</translation>
    </message>
    <message id="CurrentFile">
        <source>%1 (%2 of %3)</source>
        <translation>%1 (%2 von %3)</translation>
    </message>
    <message id="Close">
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message id="OutputFolderUnusable">
        <source>The output folder cannot be created. Choose another output folder.</source>
        <translation>Der Ausgabeordner kann nicht angelegt werden. Wählen Sie einen anderen Ausgabeordner.</translation>
    </message>
    <message id="OpenFolderFailed">
        <source>No program could open this folder. You can copy its path:</source>
        <translation>Kein Programm konnte diesen Ordner öffnen. Sie können den Pfad kopieren:</translation>
    </message>
    <message id="OpenFileFailed">
        <source>No program could open this file. You can copy its path:</source>
        <translation>Kein Programm konnte diese Datei öffnen. Sie können den Pfad kopieren:</translation>
    </message>
    <message id="OpenLinkFailed">
        <source>No program could open this address. You can copy it:</source>
        <translation>Kein Programm konnte diese Adresse öffnen. Sie können sie kopieren:</translation>
    </message>
    <message id="OpenMailFailed">
        <source>No mail program could be opened. You can copy the address:</source>
        <translation>Es konnte kein E-Mail-Programm geöffnet werden. Sie können die Adresse kopieren:</translation>
    </message>
    <message id="Copy">
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message id="OpenResult">
        <source>Open Result</source>
        <translation>Ergebnis öffnen</translation>
    </message>
    <message id="ShowInFolder">
        <source>Show in Folder</source>
        <translation>Im Ordner zeigen</translation>
    </message>
    <message id="Remove">
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message id="MoveUp">
        <source>Move Up</source>
        <translation>Nach oben</translation>
    </message>
    <message id="MoveDown">
        <source>Move Down</source>
        <translation>Nach unten</translation>
    </message>
    <message id="AddFolder">
        <source>Add Folder...</source>
        <translation>Ordner hinzufügen...</translation>
    </message>
    <message id="ResultTooltip">
        <source>Result: %1</source>
        <translation>Ergebnis: %1</translation>
    </message>
</context>
</TS>
