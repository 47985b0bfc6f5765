<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name></name>
    <message id="MenuFile">
        <source>Files</source>
        <translation>文件</translation>
    </message>
    <message id="Language">
        <source>Language</source>
        <translation>语言</translation>
    </message>
    <message id="Help">
        <source>Help</source>
        <translation>帮助</translation>
    </message>
    <message id="AddFiles">
        <source>Add Files</source>
        <translation>添加文件</translation>
    </message>
    <message id="RemoveSelected">
        <source>Remove Selected</source>
        <translation>移除所选</translation>
    </message>
    <message id="ClearTask">
        <source>Clear List</source>
        <translation>清空列表</translation>
    </message>
    <message id="OutputFormat">
        <source>Output Format</source>
        <translation>输出格式</translation>
    </message>
    <message id="OutputDir">
        <source>Output Folder</source>
        <translation>输出文件夹</translation>
    </message>
    <message id="OpenFolder">
        <source>Open Folder</source>
        <translation>打开文件夹</translation>
    </message>
    <message id="StartConvert">
        <source>Start</source>
        <translation>开始</translation>
    </message>
    <message id="Support">
        <source>Support</source>
        <translation>技术支持</translation>
    </message>
    <message id="Feedback">
        <source>Feedback</source>
        <translation>反馈</translation>
    </message>
    <message id="CheckUpdate">
        <source>Check for Updates</source>
        <translation>检查更新</translation>
    </message>
    <message id="About">
        <source>About</source>
        <translation>关于</translation>
    </message>
    <message id="Converting">
        <source>Converting</source>
        <translation>正在转换</translation>
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
        <translation>转换失败</translation>
    </message>
    <message id="DragFiles">
        <source>Drag files here or click Add Files</source>
        <translation>将文件拖到此处，或点击“添加文件”</translation>
    </message>
    <message id="ConvertFromPdf">
        <source>Convert from PDF</source>
        <translation>从 PDF 转换</translation>
    </message>
    <message id="ConvertToPdf">
        <source>Convert to PDF</source>
        <translation>转换为 PDF</translation>
    </message>
    <message id="MergePdf">
        <source>Merge PDFs</source>
        <translation>合并 PDF</translation>
    </message>
    <message id="inputFileLookPassword">
        <source>Enter the password to open this file</source>
        <translation>请输入打开此文件的密码</translation>
    </message>
    <message id="inputFileEidtPassword">
        <source>Enter the permissions password to allow editing</source>
        <translation>请输入权限密码以允许编辑</translation>
    </message>
    <message id="canIgnoreIfNot">
        <source>Leave it empty if the file has none</source>
        <translation>如果文件没有密码，请留空</translation>
    </message>
    <message id="PasswordError">
        <source>Wrong password</source>
        <translation>密码错误</translation>
    </message>
    <message id="OK">
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message id="UpdateChecking">
        <source>Checking for updates…</source>
        <translation>正在检查更新…</translation>
    </message>
    <message id="UpdateAvailable">
        <source>A new version is available</source>
        <translation>有新版本可用</translation>
    </message>
    <message id="UpdateAvailableDetail">
        <source>Version %1 is ready to download. You have version %2.</source>
        <translation>版本 %1 已可下载。您当前的版本是 %2。</translation>
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
        <translation>未设置更新检查</translation>
    </message>
    <message id="UpdateNotConfiguredDetail">
        <source>No update address has been configured for this installation.</source>
        <translation>此安装未配置更新地址。</translation>
    </message>
    <message id="UpdateFailed">
        <source>Could not check for updates</source>
        <translation>无法检查更新</translation>
    </message>
    <message id="Download">
        <source>Download</source>
        <translation>下载</translation>
    </message>
    <message id="Later">
        <source>Later</source>
        <translation>稍后</translation>
    </message>
    <message id="Account">
        <source>Account</source>
        <translation>账户</translation>
    </message>
    <message id="AccountSignedIn">
        <source>Signed in</source>
        <translation>已登录</translation>
    </message>
    <message id="AccountSignedOut">
        <source>Not signed in</source>
        <translation>未登录</translation>
    </message>
    <message id="AccountToken">
        <source>Identity token: %1</source>
        <translation>身份令牌：%1</translation>
    </message>
    <message id="AccountTokenHint">
        <source>Paste the identity token of your account to sign in.</source>
        <translation>粘贴您账户的身份令牌以登录。</translation>
    </message>
    <message id="AccountTokenPlaceholder">
        <source>Identity token</source>
        <translation>身份令牌</translation>
    </message>
    <message id="AccountSaveFailed">
        <source>The token could not be saved.</source>
        <translation>无法保存令牌。</translation>
    </message>
    <message id="SignIn">
        <source>Sign In</source>
        <translation>登录</translation>
    </message>
    <message id="SignOut">
        <source>Sign Out</source>
        <translation>退出登录</translation>
    </message>
    <message id="ReasonUpload">
        <source>Could not be uploaded to the conversion service</source>
        <translation>无法上传到转换服务</translation>
    </message>
    <message id="ReasonCreate">
        <source>The conversion service did not accept the file</source>
        <translation>转换服务未接受该文件</translation>
    </message>
    <message id="ReasonConvert">
        <source>The conversion service could not convert the file</source>
        <translation>转换服务无法转换该文件</translation>
    </message>
    <message id="ReasonDownload">
        <source>The result could not be downloaded into the output folder</source>
        <translation>无法将结果下载到输出文件夹</translation>
    </message>
    <message id="ReasonService">
        <source>Could not connect to the conversion service</source>
        <translation>无法连接到转换服务</translation>
    </message>
    <message id="ReasonCredentials">
        <source>The conversion service refused the upload</source>
        <translation>转换服务拒绝了上传</translation>
    </message>
    <message id="ReasonMerge">
        <source>The conversion service could not merge the files</source>
        <translation>转换服务无法合并这些文件</translation>
    </message>
    <message id="SummaryConverted">
        <source>%1 converted</source>
        <translation>已转换 %1 个</translation>
    </message>
    <message id="SummaryFailed">
        <source>%1 failed</source>
        <translation>%1 个失败</translation>
    </message>
    <message id="CurrentFile">
        <source>%1 (%2 of %3)</source>
        <translation>%1（第 %2 个，共 %3 个）</translation>
    </message>
    <message id="Close">
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message id="OutputFolderUnusable">
        <source>The output folder cannot be created. Choose another output folder.</source>
        <translation>无法创建输出文件夹。请选择其他输出文件夹。</translation>
    </message>
    <message id="OpenFolderFailed">
        <source>No program could open this folder. You can copy its path:</source>
        <translation>没有程序能打开此文件夹。您可以复制其路径：</translation>
    </message>
    <message id="OpenFileFailed">
        <source>No program could open this file. You can copy its path:</source>
        <translation>没有程序能打开此文件。您可以复制其路径：</translation>
    </message>
    <message id="OpenLinkFailed">
        <source>No program could open this address. You can copy it:</source>
        <translation>没有程序能打开此地址。您可以复制它：</translation>
    </message>
    <message id="OpenMailFailed">
        <source>No mail program could be opened. You can copy the address:</source>
        <translation>无法打开邮件程序。您可以复制该地址：</translation>
    </message>
    <message id="Copy">
        <source>Copy</source>
        <translation>复制</translation>
    </message>
    <message id="OpenResult">
        <source>Open Result</source>
        <translation>打开结果</translation>
    </message>
    <message id="ShowInFolder">
        <source>Show in Folder</source>
        <translation>在文件夹中显示</translation>
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
        <translation>添加文件夹...</translation>
    </message>
    <message id="ResultTooltip">
        <source>Result: %1</source>
        <translation>结果：%1</translation>
    </message>
</context>
</TS>
