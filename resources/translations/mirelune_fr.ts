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
    <message id="ReasonUpload">
        <source>Could not be uploaded to the conversion service</source>
        <translation>Impossible d’envoyer le fichier au service de conversion</translation>
    </message>
    <message id="ReasonCreate">
        <source>The conversion service did not accept the file</source>
        <translation>Le service de conversion n’a pas accepté le fichier</translation>
    </message>
    <message id="ReasonConvert">
        <source>The conversion service could not convert the file</source>
        <translation>Le service de conversion n’a pas pu convertir le fichier</translation>
    </message>
    <message id="ReasonDownload">
        <source>The result could not be downloaded into the output folder</source>
        <translation>Le résultat n’a pas pu être téléchargé dans le dossier de sortie</translation>
    </message>
    <message id="ReasonService">
        <source>Could not connect to the conversion service</source>
        <translation>Connexion au service de conversion impossible</translation>
    </message>
    <message id="ReasonCredentials">
        <source>The conversion service refused the upload</source>
        <translation>Le service de conversion a refusé l’envoi</translation>
    </message>
    <message id="ReasonMerge">
        <source>The conversion service could not merge the files</source>
        <translation>Le service de conversion n’a pas pu fusionner les fichiers</translation>
    </message>
    <message id="SummaryConverted">
        <source>%1 converted</source>
        <translation>%1 converti(s)</translation>
    </message>
    <message id="SummaryFailed">
        <source>%1 failed</source>
        <translation>%1 en échec</translation>
    </message>
    <message id="CurrentFile">
        <source>%1 (%2 of %3)</source>
        <translation>%1 (%2 sur %3)</translation>
    </message>
    <message id="Close">
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
    <message id="OutputFolderUnusable">
        <source>The output folder cannot be created. Choose another output folder.</source>
        <translation>Impossible de créer le dossier de sortie. Choisissez un autre dossier de sortie.</translation>
    </message>
    <message id="OpenFolderFailed">
        <source>No program could open this folder. You can copy its path:</source>
        <translation>Aucun programme n’a pu ouvrir ce dossier. Vous pouvez copier son chemin :</translation>
    </message>
    <message id="OpenFileFailed">
        <source>No program could open this file. You can copy its path:</source>
        <translation>Aucun programme n’a pu ouvrir ce fichier. Vous pouvez copier son chemin :</translation>
    </message>
    <message id="OpenLinkFailed">
        <source>No program could open this address. You can copy it:</source>
        <translation>Aucun programme n’a pu ouvrir cette adresse. Vous pouvez la copier :</translation>
    </message>
    <message id="OpenMailFailed">
        <source>No mail program could be opened. You can copy the address:</source>
        <translation>Aucun programme de messagerie n’a pu être ouvert. Vous pouvez copier l’adresse :</translation>
    </message>
    <message id="Copy">
        <source>Copy</source>
        <translation>Copier</translation>
    </message>
    <message id="OpenResult">
        <source>Open Result</source>
        <translation>Ouvrir le résultat</translation>
    </message>
    <message id="ShowInFolder">
        <source>Show in Folder</source>
        <translation>Afficher dans le dossier</translation>
    </message>
    <message id="Remove">
        <source>Remove</source>
        <translation>Retirer</translation>
    </message>
    <message id="MoveUp">
        <source>Move Up</source>
        <translation>Monter</translation>
    </message>
    <message id="MoveDown">
        <source>Move Down</source>
        <translation>Descendre</translation>
    </message>
    <message id="AddFolder">
        <source>Add Folder...</source>
        <translation>Ajouter un dossier...</translation>
    </message>
    <message id="ResultTooltip">
        <source>Result: %1</source>
        <translation>Résultat : %1</translation>
    </message>
</context>
</TS>
