<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja">
<context>
    <name></name>
    <message id="MenuFile">
        <source>Files</source>
        <translation>ファイル</translation>
    </message>
    <message id="Language">
        <source>Language</source>
        <translation>言語</translation>
    </message>
    <message id="Help">
        <source>Help</source>
        <translation>ヘルプ</translation>
    </message>
    <message id="AddFiles">
        <source>Add Files</source>
        <translation>ファイルを追加</translation>
    </message>
    <message id="RemoveSelected">
        <source>Remove Selected</source>
        <translation>選択項目を削除</translation>
    </message>
    <message id="ClearTask">
        <source>Clear List</source>
        <translation>リストをクリア</translation>
    </message>
    <message id="OutputFormat">
        <source>Output Format</source>
        <translation>出力形式</translation>
    </message>
    <message id="OutputDir">
        <source>Output Folder</source>
        <translation>出力フォルダー</translation>
    </message>
    <message id="OpenFolder">
        <source>Open Folder</source>
        <translation>フォルダーを開く</translation>
    </message>
    <message id="StartConvert">
        <source>Start</source>
        <translation>開始</translation>
    </message>
    <message id="Support">
        <source>Support</source>
        <translation>サポート</translation>
    </message>
    <message id="Feedback">
        <source>Feedback</source>
        <translation>フィードバック</translation>
    </message>
    <message id="CheckUpdate">
        <source>Check for Updates</source>
        <translation>アップデートを確認</translation>
    </message>
    <message id="About">
        <source>About</source>
        <translation>バージョン情報</translation>
    </message>
    <message id="Converting">
        <source>Converting</source>
        <translation>変換中</translation>
    </message>
    <message id="Cancel">
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message id="Finished">
        <source>Finished</source>
        <translation>完了</translation>
    </message>
    <message id="ConvertFailed">
        <source>Conversion failed</source>
        <translation>変換に失敗しました</translation>
    </message>
    <message id="DragFiles">
        <source>Drag files here or click Add Files</source>
        <translation>ここにファイルをドラッグするか、「ファイルを追加」をクリックしてください</translation>
    </message>
    <message id="ConvertFromPdf">
        <source>Convert from PDF</source>
        <translation>PDF から変換</translation>
    </message>
    <message id="ConvertToPdf">
        <source>Convert to PDF</source>
        <translation>PDF に変換</translation>
    </message>
    <message id="MergePdf">
        <source>Merge PDFs</source>
        <translation>PDF を結合</translation>
    </message>
    <message id="inputFileLookPassword">
        <source>Enter the password to open this file</source>
        <translation>このファイルを開くためのパスワードを入力してください</translation>
    </message>
    <message id="inputFileEidtPassword">
        <source>Enter the permissions password to allow editing</source>
        <translation>編集を許可するには権限パスワードを入力してください</translation>
    </message>
    <message id="canIgnoreIfNot">
        <source>Leave it empty if the file has none</source>
        <translation>ファイルにパスワードがない場合は空欄のままにしてください</translation>
    </message>
    <message id="PasswordError">
        <source>Wrong password</source>
        <translation>パスワードが正しくありません</translation>
    </message>
    <message id="OK">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="UpdateChecking">
        <source>Checking for updates…</source>
        <translation>アップデートを確認しています…</translation>
    </message>
    <message id="UpdateAvailable">
        <source>A new version is available</source>
        <translation>新しいバージョンがあります</translation>
    </message>
    <message id="UpdateAvailableDetail">
        <source>Version %1 is ready to download. You have version %2.</source>
        <translation>バージョン %1 をダウンロードできます。現在のバージョンは %2 です。</translation>
    </message>
    <message id="UpdateUpToDate">
        <source>You're up to date</source>
        <translation>最新の状態です</translation>
    </message>
    <message id="UpdateUpToDateDetail">
        <source>Version %1 is the latest version.</source>
        <translation>バージョン %1 が最新バージョンです。</translation>
    </message>
    <message id="UpdateNotConfigured">
        <source>Update checks are not set up</source>
        <translation>アップデートの確認が設定されていません</translation>
    </message>
    <message id="UpdateNotConfiguredDetail">
        <source>No update address has been configured for this installation.</source>
        <translation>このインストールにはアップデートのアドレスが設定されていません。</translation>
    </message>
    <message id="UpdateFailed">
        <source>Could not check for updates</source>
        <translation>アップデートを確認できませんでした</translation>
    </message>
    <message id="Download">
        <source>Download</source>
        <translation>ダウンロード</translation>
    </message>
    <message id="Later">
        <source>Later</source>
        <translation>後で</translation>
    </message>
    <message id="Account">
        <source>Account</source>
        <translation>アカウント</translation>
    </message>
    <message id="AccountSignedIn">
        <source>Signed in</source>
        <translation>サインイン済み</translation>
    </message>
    <message id="AccountSignedOut">
        <source>Not signed in</source>
        <translation>サインインしていません</translation>
    </message>
    <message id="AccountToken">
        <source>Identity token: %1</source>
        <translation>ID トークン：%1</translation>
    </message>
    <message id="AccountTokenHint">
        <source>Paste the identity token of your account to sign in.</source>
        <translation>サインインするには、アカウントの ID トークンを貼り付けてください。</translation>
    </message>
    <message id="AccountTokenPlaceholder">
        <source>Identity token</source>
        <translation>ID トークン</translation>
    </message>
    <message id="AccountSaveFailed">
        <source>The token could not be saved.</source>
        <translation>トークンを保存できませんでした。</translation>
    </message>
    <message id="SignIn">
        <source>Sign In</source>
        <translation>サインイン</translation>
    </message>
    <message id="SignOut">
        <source>Sign Out</source>
        <translation>サインアウト</translation>
    </message>
    <message id="ReasonUpload">
        <source>Could not be uploaded to the conversion service</source>
        <translation>変換サービスにアップロードできませんでした</translation>
    </message>
    <message id="ReasonCreate">
        <source>The conversion service did not accept the file</source>
        <translation>変換サービスがファイルを受け付けませんでした</translation>
    </message>
    <message id="ReasonConvert">
        <source>The conversion service could not convert the file</source>
        <translation>変換サービスでファイルを変換できませんでした</translation>
    </message>
    <message id="ReasonDownload">
        <source>The result could not be downloaded into the output folder</source>
        <translation>結果を出力フォルダーにダウンロードできませんでした</translation>
    </message>
    <message id="ReasonService">
        <source>Could not connect to the conversion service</source>
        <translation>変換サービスに接続できませんでした</translation>
    </message>
    <message id="ReasonCredentials">
        <source>The conversion service refused the upload</source>
        <translation>変換サービスがアップロードを拒否しました</translation>
    </message>
    <message id="ReasonMerge">
        <source>The conversion service could not merge the files</source>
        <translation>変換サービスでファイルを結合できませんでした</translation>
    </message>
    <message id="SummaryConverted">
        <source>%1 converted</source>
        <translation>%1 件変換済み</translation>
    </message>
    <message id="SummaryFailed">
        <source>%1 failed</source>
        <translation>%1 件失敗</translation>
    </message>
    <message id="CurrentFile">
        <source>%1 (%2 of %3)</source>
        <translation>%1（%2/%3）</translation>
    </message>
    <message id="Close">
        <source>Close</source>
        <translation>閉じる</translation>
    </message>
    <message id="OutputFolderUnusable">
        <source>The output folder cannot be created. Choose another output folder.</source>
        <translation>出力フォルダーを作成できません。別の出力フォルダーを選択してください。</translation>
    </message>
    <message id="OpenFolderFailed">
        <source>No program could open this folder. You can copy its path:</source>
        <translation>このフォルダーを開けるプログラムがありません。パスをコピーできます：</translation>
    </message>
    <message id="OpenFileFailed">
        <source>No program could open this file. You can copy its path:</source>
        <translation>このファイルを開けるプログラムがありません。パスをコピーできます：</translation>
    </message>
    <message id="OpenLinkFailed">
        <source>No program could open this address. You can copy it:</source>
        <translation>このアドレスを開けるプログラムがありません。コピーできます：</translation>
    </message>
    <message id="OpenMailFailed">
        <source>No mail program could be opened. You can copy the address:</source>
        <translation>メールプログラムを開けませんでした。アドレスをコピーできます：</translation>
    </message>
    <message id="Copy">
        <source>Copy</source>
        <translation>コピー</translation>
    </message>
    <message id="OpenResult">
        <source>Open Result</source>
        <translation>結果を開く</translation>
    </message>
    <message id="ShowInFolder">
        <source>Show in Folder</source>
        <translation>フォルダーに表示</translation>
    </message>
    <message id="Remove">
        <source>Remove</source>
        <translation>削除</translation>
    </message>
    <message id="MoveUp">
        <source>Move Up</source>
        <translation>上へ移動</translation>
    </message>
    <message id="MoveDown">
        <source>Move Down</source>
        <translation>下へ移動</translation>
    </message>
    <message id="AddFolder">
        <source>Add Folder...</source>
        <translation>フォルダーを追加...</translation>
    </message>
    <message id="ResultTooltip">
        <source>Result: %1</source>
        <translation>結果：%1</translation>
    </message>
</context>
</TS>
