<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name></name>
    <message id="MenuFile">
        <source>Files</source>
        <translation>Files</translation>
    </message>
    <message id="Language">
        <source>Language</source>
        <translation>Language</translation>
    </message>
    <message id="Help">
        <source>Help</source>
        <translation>Help</translation>
    </message>
    <message id="AddFiles">
        <source>Add Files</source>
        <translation>Add Files</translation>
    </message>
    <message id="RemoveSelected">
        <source>Remove Selected</source>
        <translation>Remove Selected</translation>
    </message>
    <message id="ClearTask">
        <source>Clear List</source>
        <translation>Clear List</translation>
    </message>
    <message id="OutputFormat">
        <source>Output Format</source>
        <translation>Output Format</translation>
    </message>
    <message id="OutputDir">
        <source>Output Folder</source>
        <translation>Output Folder</translation>
    </message>
    <message id="OpenFolder">
        <source>Open Folder</source>
        <translation>Open Folder</translation>
    </message>
    <message id="StartConvert">
        <source>Start</source>
        <translation>Start</translation>
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
        <translation>Check for Updates</translation>
    </message>
    <message id="About">
        <source>About</source>
        <translation>About</translation>
    </message>
    <message id="Converting">
        <source>Converting</source>
        <translation>Converting</translation>
    </message>
    <message id="Cancel">
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message id="Finished">
        <source>Finished</source>
        <translation>Finished</translation>
    </message>
    <message id="ConvertFailed">
        <source>Conversion failed</source>
        <translation>Conversion failed</translation>
    </message>
    <message id="DragFiles">
        <source>Drag files here or click Add Files</source>
        <translation>Drag files here or click Add Files</translation>
    </message>
    <message id="ConvertFromPdf">
        <source>Convert from PDF</source>
        <translation>Convert from PDF</translation>
    </message>
    <message id="ConvertToPdf">
        <source>Convert to PDF</source>
        <translation>Convert to PDF</translation>
    </message>
    <message id="MergePdf">
        <source>Merge PDFs</source>
        <translation>Merge PDFs</translation>
    </message>
    <message id="inputFileLookPassword">
        <source>Enter the password to open this file</source>
        <translation>Enter the password to open this file</translation>
    </message>
    <message id="inputFileEidtPassword">
        <source>Enter the permissions password to allow editing</source>
        <translation>Enter the permissions password to allow editing</translation>
    </message>
    <message id="canIgnoreIfNot">
        <source>Leave it empty if the file has none</source>
        <translation>Leave it empty if the file has none</translation>
    </message>
    <message id="PasswordError">
        <source>Wrong password</source>
        <translation>Wrong password</translation>
    </message>
    <message id="OK">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="UpdateChecking">
        <source>Checking for updates…</source>
        <translation>Checking for updates…</translation>
    </message>
    <message id="UpdateAvailable">
        <source>A new version is available</source>
        <translation>A new version is available</translation>
    </message>
    <message id="UpdateAvailableDetail">
        <source>Version %1 is ready to download. You have version %2.</source>
        <translation>Version %1 is ready to download. You have version %2.</translation>
    </message>
    <message id="UpdateUpToDate">
        <source>You're up to date</source>
        <translation>You're up to date</translation>
    </message>
    <message id="UpdateUpToDateDetail">
        <source>Version %1 is the latest version.</source>
        <translation>Version %1 is the latest version.</translation>
    </message>
    <message id="UpdateNotConfigured">
        <source>Update checks are not set up</source>
        <translation>Update checks are not set up</translation>
    </message>
    <message id="UpdateNotConfiguredDetail">
        <source>No update address has been configured for this installation.</source>
        <translation>No update address has been configured for this installation.</translation>
    </message>
    <message id="UpdateFailed">
        <source>Could not check for updates</source>
        <translation>Could not check for updates</translation>
    </message>
    <message id="Download">
        <source>Download</source>
        <translation>Download</translation>
    </message>
    <message id="Later">
        <source>Later</source>
        <translation>Later</translation>
    </message>
    <message id="Account">
        <source>Account</source>
        <translation>Account</translation>
    </message>
    <message id="AccountSignedIn">
        <source>Signed in</source>
        <translation>Signed in</translation>
    </message>
    <message id="AccountSignedOut">
        <source>Not signed in</source>
        <translation>Not signed in</translation>
    </message>
    <message id="AccountToken">
        <source>Identity token: %1</source>
        <translation>Identity token: %1</translation>
    </message>
    <message id="AccountTokenHint">
        <source>Paste the identity token of your account to sign in.</source>
        <translation>Paste the identity token of your account to sign in.</translation>
    </message>
    <message id="AccountTokenPlaceholder">
        <source>Identity token</source>
        <translation>Identity token</translation>
    </message>
    <message id="AccountSaveFailed">
        <source>The token could not be saved.</source>
        <translation>The token could not be saved.</translation>
    </message>
    <message id="SignIn">
        <source>Sign In</source>
        <translation>Sign In</translation>
    </message>
    <message id="SignOut">
        <source>Sign Out</source>
        <translation>Sign Out</translation>
    </message>
    <message id="ReasonUpload">
        <source>Could not be uploaded to the conversion service</source>
        <translation>Could not be uploaded to the conversion service</translation>
    </message>
    <message id="ReasonCreate">
        <source>The conversion service did not accept the file</source>
        <translation>The conversion service did not accept the file</translation>
    </message>
    <message id="ReasonConvert">
        <source>The conversion service could not convert the file</source>
        <translation>The conversion service could not convert the file</translation>
    </message>
    <message id="ReasonDownload">
        <source>The result could not be downloaded into the output folder</source>
        <translation>The result could not be downloaded into the output folder</translation>
    </message>
    <message id="ReasonService">
        <source>Could not connect to the conversion service</source>
        <translation>Could not connect to the conversion service</translation>
    </message>
    <message id="ReasonCredentials">
        <source>The conversion service refused the upload</source>
        <translation>The conversion service refused the upload</translation>
    </message>
    <message id="ReasonMerge">
        <source>The conversion service could not merge the files</source>
        <translation>The conversion service could not merge the files</translation>
    </message>
    <message id="SummaryConverted">
        <source>%1 converted</source>
        <translation>%1 converted</translation>
    </message>
    <message id="SummaryFailed">
        <source>%1 failed</source>
        <translation>%1 failed</translation>
    </message>
    <message id="CurrentFile">
        <source>%1 (%2 of %3)</source>
        <translation>%1 (%2 of %3)</translation>
    </message>
    <message id="Close">
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message id="OutputFolderUnusable">
        <source>The output folder cannot be created. Choose another output folder.</source>
        <translation>The output folder cannot be created. Choose another output folder.</translation>
    </message>
    <message id="OpenFolderFailed">
        <source>No program could open this folder. You can copy its path:</source>
        <translation>No program could open this folder. You can copy its path:</translation>
    </message>
    <message id="OpenFileFailed">
        <source>No program could open this file. You can copy its path:</source>
        <translation>No program could open this file. You can copy its path:</translation>
    </message>
    <message id="OpenLinkFailed">
        <source>No program could open this address. You can copy it:</source>
        <translation>No program could open this address. You can copy it:</translation>
    </message>
    <message id="OpenMailFailed">
        <source>No mail program could be opened. You can copy the address:</source>
        <translation>No mail program could be opened. You can copy the address:</translation>
    </message>
    <message id="Copy">
        <source>Copy</source>
        <translation>Copy</translation>
    </message>
    <message id="OpenResult">
        <source>Open Result</source>
        <translation>Open Result</translation>
    </message>
    <message id="ShowInFolder">
        <source>Show in Folder</source>
        <translation>Show in Folder</translation>
    </message>
    <message id="Remove">
        <source>Remove</source>
        <translation>Remove</translation>
    </message>
    <message id="MoveUp">
        <source>Move Up</source>
        <translation>Move Up</translation>
    </message>
    <message id="MoveDown">
        <source>Move Down</source>
        <translation>Move Down</translation>
    </message>
    <message id="AddFolder">
        <source>Add Folder...</source>
        <translation>Add Folder...</translation>
    </message>
    <message id="ResultTooltip">
        <source>Result: %1</source>
        <translation>Result: %1</translation>
    </message>
</context>
</TS>
