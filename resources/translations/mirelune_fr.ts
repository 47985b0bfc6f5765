<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name></name>
    <message id="MenuFile">
        <source>Files</source>
        <translation>Fichier</translation>
    </message>
    <message id="Language">
        <source>Language</source>
        <translation>Langue</translation>
    </message>
    <message id="Help">
        <source>Help</source>
        <translation>Aide</translation>
    </message>
    <message id="AddFiles">
        <source>Add Files</source>
        <translation>Ajouter des fichiers</translation>
    </message>
    <message id="RemoveSelected">
        <source>Remove Selected</source>
        <translation>Supprimer la sélection</translation>
    </message>
    <message id="ClearTask">
        <source>Clear List</source>
        <translation>Vider la liste</translation>
    </message>
    <message id="OutputFormat">
        <source>Output Format</source>
        <translation>Format de sortie</translation>
    </message>
    <message id="OutputDir">
        <source>Output Folder</source>
        <translation>Dossier de sortie</translation>
    </message>
    <message id="OpenFolder">
        <source>Open Folder</source>
        <translation>Ouvrir le dossier</translation>
    </message>
    <message id="StartConvert">
        <source>Start</source>
        <translation>Démarrer</translation>
    </message>
    <message id="Support">
        <source>Support</source>
        <translation>Assistance</translation>
    </message>
    <message id="Feedback">
        <source>Feedback</source>
        <translation>Commentaires</translation>
    </message>
    <message id="CheckUpdate">
        <source>Check for Updates</source>
        <translation>Rechercher des mises à jour</translation>
    </message>
    <message id="About">
        <source>About</source>
        <translation>À propos</translation>
    </message>
    <message id="Converting">
        <source>Converting</source>
        <translation>Conversion en cours</translation>
    </message>
    <message id="Cancel">
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message id="Finished">
        <source>Finished</source>
        <translation>Terminé</translation>
    </message>
    <message id="ConvertFailed">
        <source>Conversion failed</source>
        <translation>Échec de la conversion</translation>
    </message>
    <message id="DragFiles">
        <source>Drag files here or click Add Files</source>
        <translation>Faites glisser des fichiers ici ou cliquez sur « Ajouter des fichiers »</translation>
    </message>
    <message id="ConvertFromPdf">
        <source>Convert from PDF</source>
        <translation>Convertir depuis un PDF</translation>
    </message>
    <message id="ConvertToPdf">
        <source>Convert to PDF</source>
        <translation>Convertir en PDF</translation>
    </message>
    <message id="MergePdf">
        <source>Merge PDFs</source>
        <translation>Fusionner des PDF</translation>
    </message>
    <message id="inputFileLookPassword">
        <source>Enter the password to open this file</source>
        <translation>Saisissez le mot de passe pour ouvrir ce fichier</translation>
    </message>
    <message id="inputFileEidtPassword">
        <source>Enter the permissions password to allow editing</source>
        <translation>Saisissez le mot de passe des autorisations pour permettre la modification</translation>
    </message>
    <message id="canIgnoreIfNot">
        <source>Leave it empty if the file has none</source>
        <translation>Laissez vide si le fichier n'en a pas</translation>
    </message>
    <message id="PasswordError">
        <source>Wrong password</source>
        <translation>Mot de passe incorrect</translation>
    </message>
    <message id="OK">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="UpdateChecking">
        <source>Checking for updates…</source>
        <translation>Recherche de mises à jour…</translation>
    </message>
    <message id="UpdateAvailable">
        <source>A new version is available</source>
        <translation>Une nouvelle version est disponible</translation>
    </message>
    <message id="UpdateAvailableDetail">
        <source>Version %1 is ready to download. You have version %2.</source>
        <translation>La version %1 est prête à être téléchargée. Vous avez la version %2.</translation>
    </message>
    <message id="UpdateUpToDate">
        <source>You're up to date</source>
        <translation>Votre version est à jour</translation>
    </message>
    <message id="UpdateUpToDateDetail">
        <source>Version %1 is the latest version.</source>
        <translation>La version %1 est la plus récente.</translation>
    </message>
    <message id="UpdateNotConfigured">
        <source>Update checks are not set up</source>
        <translation>La recherche de mises à jour n'est pas configurée</translation>
    </message>
    <message id="UpdateNotConfiguredDetail">
        <source>No update address has been configured for this installation.</source>
        <translation>Aucune adresse de mise à jour n'est configurée pour cette installation.</translation>
    </message>
    <message id="UpdateFailed">
        <source>Could not check for updates</source>
        <translation>Impossible de rechercher les mises à jour</translation>
    </message>
    <message id="Download">
        <source>Download</source>
        <translation>Télécharger</translation>
    </message>
    <message id="Later">
        <source>Later</source>
        <translation>Plus tard</translation>
    </message>
    <message id="Account">
        <source>Account</source>
        <translation>Compte</translation>
    </message>
    <message id="AccountSignedIn">
        <source>Signed in</source>
        <translation>Connecté</translation>
    </message>
    <message id="AccountSignedOut">
        <source>Not signed in</source>
        <translation>Non connecté</translation>
    </message>
    <message id="AccountToken">
        <source>Identity token: %1</source>
        <translation>Jeton d'identité : %1</translation>
    </message>
    <message id="AccountTokenHint">
        <source>Paste the identity token of your account to sign in.</source>
        <translation>Collez le jeton d'identité de votre compte pour vous connecter.</translation>
    </message>
    <message id="AccountTokenPlaceholder">
        <source>Identity token</source>
        <translation>Jeton d'identité</translation>
    </message>
    <message id="AccountSaveFailed">
        <source>The token could not be saved.</source>
        <translation>Le jeton n'a pas pu être enregistré.</translation>
    </message>
    <message id="SignIn">
        <source>Sign In</source>
        <translation>Se connecter</translation>
    </message>
    <message id="SignOut">
        <source>Sign Out</source>
        <translation>Se déconnecter</translation>
    </message>
</context>
</TS>
