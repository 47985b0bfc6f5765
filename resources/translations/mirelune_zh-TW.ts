<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW">
<context>
    <name></name>
    <message id="MenuFile">
        <source>Files</source>
        <translation>檔案</translation>
    </message>
    <message id="Language">
        <source>Language</source>
        <translation>語言</translation>
    </message>
    <message id="Help">
        <source>Help</source>
        <translation>說明</translation>
    </message>
    <message id="AddFiles">
        <source>Add Files</source>
        <translation>新增檔案</translation>
    </message>
    <message id="RemoveSelected">
        <source>Remove Selected</source>
        <translation>移除所選</translation>
    </message>
    <message id="ClearTask">
        <source>Clear List</source>
        <translation>清除清單</translation>
    </message>
    <message id="OutputFormat">
        <source>Output Format</source>
        <translation>輸出格式</translation>
    </message>
    <message id="OutputDir">
        <source>Output Folder</source>
        <translation>輸出資料夾</translation>
    </message>
    <message id="OpenFolder">
        <source>Open Folder</source>
        <translation>開啟資料夾</translation>
    </message>
    <message id="StartConvert">
        <source>Start</source>
        <translation>開始</translation>
    </message>
    <message id="Support">
        <source>Support</source>
        <translation>技術支援</translation>
    </message>
    <message id="Feedback">
        <source>Feedback</source>
        <translation>意見回饋</translation>
    </message>
    <message id="CheckUpdate">
        <source>Check for Updates</source>
        <translation>檢查更新</translation>
    </message>
    <message id="About">
        <source>About</source>
        <translation>關於</translation>
    </message>
    <message id="Converting">
        <source>Converting</source>
        <translation>正在轉換</translation>
    </message>
    <message id="Cancel">
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message id="Finished">
        <source>Finished</source>
        <translation>已完成</translation>
    </message>
    <message id="ConvertFailed">
        <source>Conversion failed</source>
        <translation>轉換失敗</translation>
    </message>
    <message id="DragFiles">
        <source>Drag files here or click Add Files</source>
        <translation>將檔案拖曳至此處，或按一下「新增檔案」</translation>
    </message>
    <message id="ConvertFromPdf">
        <source>Convert from PDF</source>
        <translation>從 PDF 轉換</translation>
    </message>
    <message id="ConvertToPdf">
        <source>Convert to PDF</source>
        <translation>轉換為 PDF</translation>
    </message>
    <message id="MergePdf">
        <source>Merge PDFs</source>
        <translation>合併 PDF</translation>
    </message>
    <message id="inputFileLookPassword">
        <source>Enter the password to open this file</source>
        <translation>請輸入開啟此檔案的密碼</translation>
    </message>
    <message id="inputFileEidtPassword">
        <source>Enter the permissions password to allow editing</source>
        <translation>請輸入權限密碼以允許編輯</translation>
    </message>
    <message id="canIgnoreIfNot">
        <source>Leave it empty if the file has none</source>
        <translation>如果檔案沒有密碼，請留空</translation>
    </message>
    <message id="PasswordError">
        <source>Wrong password</source>
        <translation>密碼錯誤</translation>
    </message>
    <message id="OK">
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message id="UpdateChecking">
        <source>Checking for updates…</source>
        <translation>正在檢查更新…</translation>
    </message>
    <message id="UpdateAvailable">
        <source>A new version is available</source>
        <translation>有新版本可用</translation>
    </message>
    <message id="UpdateAvailableDetail">
        <source>Version %1 is ready to download. You have version %2.</source>
        <translation>版本 %1 已可下載。您目前的版本是 %2。</translation>
    </message>
    <message id="UpdateUpToDate">
        <source>You're up to date</source>
        <translation>已是最新版本</translation>
    </message>
    <message id="UpdateUpToDateDetail">
        <source>Version %1 is the latest version.</source>
        <translation>版本 %1 是最新版本。</translation>
    </message>
    <message id="UpdateNotConfigured">
        <source>Update checks are not set up</source>
        <translation>未設定更新檢查</translation>
    </message>
    <message id="UpdateNotConfiguredDetail">
        <source>No update address has been configured for this installation.</source>
        <translation>此安裝未設定更新位址。</translation>
    </message>
    <message id="UpdateFailed">
        <source>Could not check for updates</source>
        <translation>無法檢查更新</translation>
    </message>
    <message id="Download">
        <source>Download</source>
        <translation>下載</translation>
    </message>
    <message id="Later">
        <source>Later</source>
        <translation>稍後</translation>
    </message>
    <message id="Account">
        <source>Account</source>
        <translation>帳戶</translation>
    </message>
    <message id="AccountSignedIn">
        <source>Signed in</source>
        <translation>已登入</translation>
    </message>
    <message id="AccountSignedOut">
        <source>Not signed in</source>
        <translation>未登入</translation>
    </message>
    <message id="AccountToken">
        <source>Identity token: %1</source>
        <translation>身分權杖：%1</translation>
    </message>
    <message id="AccountTokenHint">
        <source>Paste the identity token of your account to sign in.</source>
        <translation>貼上您帳戶的身分權杖以登入。</translation>
    </message>
    <message id="AccountTokenPlaceholder">
        <source>Identity token</source>
        <translation>身分權杖</translation>
    </message>
    <message id="AccountSaveFailed">
        <source>The token could not be saved.</source>
        <translation>無法儲存權杖。</translation>
    </message>
    <message id="SignIn">
        <source>Sign In</source>
        <translation>登入</translation>
    </message>
    <message id="SignOut">
        <source>Sign Out</source>
        <translation>登出</translation>
    </message>
    <message id="ReasonUpload">
        <source>Could not be uploaded to the conversion service</source>
        <translation>無法上傳到轉換服務</translation>
    </message>
    <message id="ReasonCreate">
        <source>The conversion service did not accept the file</source>
        <translation>轉換服務未接受該檔案</translation>
    </message>
    <message id="ReasonConvert">
        <source>The conversion service could not convert the file</source>
        <translation>轉換服務無法轉換該檔案</translation>
    </message>
    <message id="ReasonDownload">
        <source>The result could not be downloaded into the output folder</source>
        <translation>無法將結果下載到輸出資料夾</translation>
    </message>
    <message id="ReasonService">
        <source>Could not connect to the conversion service</source>
        <translation>無法連線到轉換服務</translation>
    </message>
    <message id="ReasonCredentials">
        <source>The conversion service refused the upload</source>
        <translation>轉換服務拒絕了上傳</translation>
    </message>
    <message id="ReasonMerge">
        <source>The conversion service could not merge the files</source>
        <translation>轉換服務無法合併這些檔案</translation>
    </message>
    <message id="SummaryConverted">
        <source>%1 converted</source>
        <translation>已轉換 %1 個</translation>
    </message>
    <message id="SummaryFailed">
        <source>%1 failed</source>
        <translation>%1 個失敗</translation>
    </message>
    <message id="CurrentFile">
        <source>%1 (%2 of %3)</source>
        <translation>%1（第 %2 個，共 %3 個）</translation>
    </message>
    <message id="Close">
        <source>Close</source>
        <translation>關閉</translation>
    </message>
    <message id="OutputFolderUnusable">
        <source>The output folder cannot be created. Choose another output folder.</source>
        <translation>無法建立輸出資料夾。請選擇其他輸出資料夾。</translation>
    </message>
    <message id="OpenFolderFailed">
        <source>No program could open this folder. You can copy its path:</source>
        <translation>沒有程式能開啟此資料夾。您可以複製其路徑：</translation>
    </message>
    <message id="OpenFileFailed">
        <source>No program could open this file. You can copy its path:</source>
        <translation>沒有程式能開啟此檔案。您可以複製其路徑：</translation>
    </message>
    <message id="OpenLinkFailed">
        <source>No program could open this address. You can copy it:</source>
        <translation>沒有程式能開啟此網址。您可以複製它：</translation>
    </message>
    <message id="OpenMailFailed">
        <source>No mail program could be opened. You can copy the address:</source>
        <translation>無法開啟郵件程式。您可以複製該地址：</translation>
    </message>
    <message id="Copy">
        <source>Copy</source>
        <translation>複製</translation>
    </message>
    <message id="OpenResult">
        <source>Open Result</source>
        <translation>開啟結果</translation>
    </message>
    <message id="ShowInFolder">
        <source>Show in Folder</source>
        <translation>在資料夾中顯示</translation>
    </message>
    <message id="Remove">
        <source>Remove</source>
        <translation>移除</translation>
    </message>
    <message id="MoveUp">
        <source>Move Up</source>
        <translation>上移</translation>
    </message>
    <message id="MoveDown">
        <source>Move Down</source>
        <translation>下移</translation>
    </message>
    <message id="AddFolder">
        <source>Add Folder...</source>
        <translation>新增資料夾...</translation>
    </message>
    <message id="ResultTooltip">
        <source>Result: %1</source>
        <translation>結果：%1</translation>
    </message>
</context>
</TS>
