<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja" sourcelanguage="en">
<context>
    <name>frmStep1</name>
    <message>
        <source>Brimvault Converter</source>
        <translation>Brimvault Converter</translation>
    </message>
    <message>
        <source>Converts Brimvault MBOX backups to EML, EMLX, MSG and PST files</source>
        <translation>Brimvault の MBOX バックアップを EML・EMLX・MSG・PST に変換します</translation>
    </message>
    <message>
        <source>Select Brimvault file(s)...</source>
        <translation>Brimvault ファイルを選択...</translation>
    </message>
    <message>
        <source>Select folder having brimvault file(s)...</source>
        <translation>Brimvault ファイルのフォルダーを選択...</translation>
    </message>
    <message>
        <source>Clear file(s)...</source>
        <translation>リストを消去...</translation>
    </message>
    <message>
        <source>0 files</source>
        <translation>0 ファイル</translation>
    </message>
    <message>
        <source> I want to convert brimvault messages to...</source>
        <translation> Brimvault のメッセージの変換先:</translation>
    </message>
    <message>
        <source>(.eml) files          -     (Supported by Outlook Express, Windows Mail, Windows Live Mail)</source>
        <translation>(.eml) ファイル   -   (Outlook Express、Windows メール、Windows Live メール)</translation>
    </message>
    <message>
        <source>(.emlx) files        -     (Supported by Mac OS X Tiger Mail)</source>
        <translation>(.emlx) ファイル   -   (Mac OS X Tiger のメール)</translation>
    </message>
    <message>
        <source>(.pst) files          -     (Supported by MS Outlook, Outlook 2011 for Mac)</source>
        <translation>(.pst) ファイル   -   (MS Outlook、Outlook 2011 for Mac)</translation>
    </message>
    <message>
        <source>(.msg) files         -     (Supported by MS Outlook, Document Management Software, Forensic Tools)</source>
        <translation>(.msg) ファイル   -   (MS Outlook、文書管理ソフト、フォレンジックツール)</translation>
    </message>
    <message>
        <source>Create Single Outlook PST file for All files</source>
        <translation>すべてのファイルを 1 つの Outlook PST ファイルにまとめる</translation>
    </message>
    <message>
        <source>Sort messages into folders by their labels</source>
        <translation>ラベルごとにフォルダーへ振り分ける</translation>
    </message>
    <message>
        <source>Label map...</source>
        <translation>ラベル対応表...</translation>
    </message>
    <message>
        <source>Converting Messages...</source>
        <translation>メッセージを変換中...</translation>
    </message>
    <message>
        <source>Mailbox  0 (of 0)</source>
        <translation>メールボックス 0 / 0</translation>
    </message>
    <message>
        <source>Reading          :</source>
        <translation>読み込み中:</translation>
    </message>
    <message>
        <source>Saving :</source>
        <translation>保存中:</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>変換</translation>
    </message>
    <message>
        <source>&amp;Help Manual</source>
        <translation>ヘルプ(&amp;H)</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>終了(&amp;X)</translation>
    </message>
    <message>
        <source>Selecting this option will allow you to create a single PST file for all MBOX files</source>
        <translation>このオプションを選ぶと、すべての MBOX ファイルを 1 つの PST ファイルにまとめます</translation>
    </message>
    <message>
        <source>Each message goes to the folder its labels choose and keeps its unread and starred state</source>
        <translation>各メッセージはラベルが示すフォルダーに入り、未読とスターの状態を保ちます</translation>
    </message>
    <message>
        <source>A file of your own that says what labels mean, one line each: label = Inbox, Sent Items, Drafts, Deleted Items, Junk Email, unread, starred, ignore or a folder path</source>
        <translation>ラベルの意味を決める自分用のファイル。1 行に 1 つ: ラベル = Inbox、Sent Items、Drafts、Deleted Items、Junk Email、unread、starred、ignore またはフォルダーのパス</translation>
    </message>
    <message>
        <source>Please select a option to convert file(s).</source>
        <translation>変換先の形式を選んでください。</translation>
    </message>
    <message>
        <source>Choose Folder to Save...</source>
        <translation>保存先のフォルダーを選択...</translation>
    </message>
    <message>
        <source>Mailbox %1 (of %2) </source>
        <translation>メールボックス %1 / %2 </translation>
    </message>
    <message>
        <source>Saved %1 Email Messages...</source>
        <translation>%1 件のメッセージを保存しました...</translation>
    </message>
    <message>
        <source>Are you sure you want to exit now?</source>
        <translation>今すぐ終了しますか?</translation>
    </message>
    <message>
        <source>A conversion is running. Stop it and exit?</source>
        <translation>変換の実行中です。中止して終了しますか?</translation>
    </message>
    <message>
        <source>The label map cannot be used:</source>
        <translation>ラベル対応表を使用できません:</translation>
    </message>
    <message>
        <source>Label maps (*.txt);;All files (*)</source>
        <translation>ラベル対応表 (*.txt);;すべてのファイル (*)</translation>
    </message>
    <message>
        <source>Sort without the label map %1?</source>
        <translation>ラベル対応表 %1 を使わずに振り分けますか?</translation>
    </message>
    <message>
        <source>Label map in use: %1</source>
        <translation>使用中のラベル対応表: %1</translation>
    </message>
    <message>
        <source>%1 already there</source>
        <translation>%1 件は既存</translation>
    </message>
    <message>
        <source>%1 converted</source>
        <translation>%1 件変換</translation>
    </message>
    <message>
        <source>%1 not converted</source>
        <translation>%1 件未変換</translation>
    </message>
    <message>
        <source>failed: %1</source>
        <translation>失敗: %1</translation>
    </message>
    <message>
        <source>not reached</source>
        <translation>未処理</translation>
    </message>
    <message>
        <source>nothing in it</source>
        <translation>中身なし</translation>
    </message>
    <message>
        <source>passed over</source>
        <translation>対象外</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>フォルダーを開く</translation>
    </message>
    <message>
        <source>Save report...</source>
        <translation>レポートを保存...</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV ファイル (*.csv)</translation>
    </message>
    <message>
        <source>The report could not be saved: %1</source>
        <translation>レポートを保存できませんでした: %1</translation>
    </message>
    <message>
        <source>Brimvault Converter Help</source>
        <translation>Brimvault Converter ヘルプ</translation>
    </message>
    <message>
        <source>A store larger than 50 GB is written in parts. Microsoft 365's PST import skips items over 150 MB (each is converted with a warning) and recommends stores of at most 20 GB: for it, convert with brimvault-convert --max-pst-size 20G</source>
        <translation>50 GB を超えるストアは分割して書き込まれます。Microsoft 365 の PST インポートは 150 MB を超えるアイテムをスキップし (それぞれ警告付きで変換されます)、20 GB 以下のストアを推奨しています。その場合は brimvault-convert --max-pst-size 20G で変換してください</translation>
    </message>
</context>
<context>
    <name>filelist</name>
    <message>
        <source>Searching the folder: %1 files found (Esc stops)</source>
        <translation>フォルダーを検索中: %1 個のファイル (Esc で中止)</translation>
    </message>
    <message>
        <source>Do you want to clear all the files in the list&#xd;
 Proceed?</source>
        <translation>リストのファイルをすべて消去しますか?&#xd;
 続行しますか?</translation>
    </message>
    <message>
        <source>%1 files</source>
        <translation>%1 ファイル</translation>
    </message>
    <message>
        <source>Please select only %1 files at a time</source>
        <translation>一度に選べるファイルは %1 個までです</translation>
    </message>
    <message>
        <source>Brimvault Files (*.*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</source>
        <translation>Brimvault ファイル (*.*);;MBOX ファイル (*.mbox *.mbx);;連絡先とカレンダー (*.vcf *.ics);;アーカイブ (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</translation>
    </message>
    <message>
        <source>Brimvault Files (*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</source>
        <translation>Brimvault ファイル (*);;MBOX ファイル (*.mbox *.mbx);;連絡先とカレンダー (*.vcf *.ics);;アーカイブ (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</translation>
    </message>
    <message>
        <source>Choose Source Folder...</source>
        <translation>読み込むフォルダーを選択...</translation>
    </message>
    <message>
        <source>The folder %1 could not be read; the files found before it were added.</source>
        <translation>フォルダー %1 を読み込めませんでした。それまでに見つかったファイルは追加しました。</translation>
    </message>
    <message>
        <source>%1 Files Added to List.</source>
        <translation>%1 個のファイルをリストに追加しました。</translation>
    </message>
    <message>
        <source>Already in the list: %1.</source>
        <translation>すでにリストにあるもの: %1</translation>
    </message>
</context>
<context>
    <name>Prompts</name>
    <message>
        <source>... (the rest is in the details)</source>
        <translation>... (続きは詳細にあります)</translation>
    </message>
</context>
<context>
    <name>Completion</name>
    <message>
        <source>Your messages from Brimvault files has been successfully exported to Outlook (.pst) file.</source>
        <translation>Brimvault ファイルのメッセージを Outlook ファイル (.pst) に正常にエクスポートしました。</translation>
    </message>
    <message>
        <source>Start Outlook and open converted pst file by clicking File -&gt; Open -&gt; Outlook Data File. And it all done !</source>
        <translation>Outlook を起動し、[ファイル] -&gt; [開く] -&gt; [Outlook データ ファイル] で変換した PST ファイルを開いてください。これで完了です!</translation>
    </message>
    <message>
        <source>Your messages from Brimvault files has been successfully exported.</source>
        <translation>Brimvault ファイルのメッセージを正常にエクスポートしました。</translation>
    </message>
    <message>
        <source>The conversion finished with problems.</source>
        <translation>変換は問題ありで終了しました。</translation>
    </message>
    <message>
        <source>What failed:</source>
        <translation>失敗したもの:</translation>
    </message>
    <message>
        <source>Converted with warnings:</source>
        <translation>警告付きで変換したもの:</translation>
    </message>
    <message>
        <source>Passed over:</source>
        <translation>対象外:</translation>
    </message>
    <message>
        <source>Messages per folder:</source>
        <translation>フォルダーごとのメッセージ:</translation>
    </message>
    <message>
        <source>Nothing to convert: there is no mailbox among the listed files.</source>
        <translation>変換するものがありません: リストのファイルにメールボックスがありません。</translation>
    </message>
    <message>
        <source>The conversion stopped there; the mailboxes converted before it keep their output.</source>
        <translation>変換はそこで止まりました。それまでに変換したメールボックスの出力は残ります。</translation>
    </message>
    <message>
        <source>Converted: %1 mailboxes, %2 messages.</source>
        <translation>変換済み: メールボックス %1 個、メッセージ %2 件。</translation>
    </message>
    <message>
        <source>Converted: %1 of %2 mailboxes, %3 messages.</source>
        <translation>変換済み: メールボックス %2 個中 %1 個、メッセージ %3 件。</translation>
    </message>
    <message>
        <source>Converted: %1 mailboxes, %2 messages; %3 contacts and calendar files, %4 contacts, events and tasks.</source>
        <translation>変換済み: メールボックス %1 個、メッセージ %2 件、連絡先・予定表ファイル %3 個、連絡先・予定・タスク %4 件。</translation>
    </message>
    <message>
        <source>Converted: %1 of %2 mailboxes, %3 messages; %4 of %5 contacts and calendar files, %6 contacts, events and tasks.</source>
        <translation>変換済み: メールボックス %2 個中 %1 個、メッセージ %3 件、連絡先・予定表ファイル %5 個中 %4 個、連絡先・予定・タスク %6 件。</translation>
    </message>
    <message>
        <source>Messages not converted: %1.</source>
        <translation>変換されなかったメッセージ: %1 件。</translation>
    </message>
    <message>
        <source>Contacts, events and tasks not converted: %1.</source>
        <translation>変換されなかった連絡先・予定・タスク: %1 件。</translation>
    </message>
    <message>
        <source>The disk is full: the run ended there; the rest of the file in hand was not read.</source>
        <translation>ディスクがいっぱいです: 変換はそこで終了しました。読み込み中のファイルの残りは読まれていません。</translation>
    </message>
    <message>
        <source>The disk is full: the run ended there; the rest of the file in hand was not read, nor %1 more listed files.</source>
        <translation>ディスクがいっぱいです: 変換はそこで終了しました。読み込み中のファイルの残りと、リストの残り %1 個のファイルは読まれていません。</translation>
    </message>
    <message>
        <source>The run was stopped; the rest of the file in hand was not read.</source>
        <translation>変換は停止されました。読み込み中のファイルの残りは読まれていません。</translation>
    </message>
    <message>
        <source>The run was stopped; the rest of the file in hand was not read, nor %1 more listed files.</source>
        <translation>変換は停止されました。読み込み中のファイルの残りと、リストの残り %1 個のファイルは読まれていません。</translation>
    </message>
    <message>
        <source>Every message (%1) was already there: nothing needed to be added.</source>
        <translation>すべてのメッセージ (%1 件) は既に存在していました: 追加するものはありませんでした。</translation>
    </message>
    <message>
        <source>Already there, so not added again: %1 messages.</source>
        <translation>既に存在するため再追加しなかったもの: メッセージ %1 件。</translation>
    </message>
    <message>
        <source>Already there, so not added again: %1 messages, %2 contacts, events and tasks.</source>
        <translation>既に存在するため再追加しなかったもの: メッセージ %1 件、連絡先・予定・タスク %2 件。</translation>
    </message>
    <message>
        <source>Messages were added to the store of an earlier run: %1</source>
        <translation>メッセージは以前の変換で作成されたストアに追加されました: %1</translation>
    </message>
    <message>
        <source>Store: %1</source>
        <translation>ストア: %1</translation>
    </message>
    <message>
        <source>Stores: %1 .pst files, one per mailbox.</source>
        <translation>ストア: .pst ファイル %1 個 (メールボックスごとに 1 個)。</translation>
    </message>
    <message>
        <source>Stores: %1 .pst files, one per mailbox; messages were added to %2 of them, made by an earlier run.</source>
        <translation>ストア: .pst ファイル %1 個 (メールボックスごとに 1 個)。そのうち以前の変換で作成された %2 個にメッセージを追加しました。</translation>
    </message>
    <message>
        <source>Destination: %1</source>
        <translation>保存先: %1</translation>
    </message>
    <message>
        <source>... and %1 more.</source>
        <translation>... ほか %1 件。</translation>
    </message>
    <message>
        <source>Stores larger than the size limit were written in parts:</source>
        <translation>サイズ上限を超えるストアは分割して書き込まれました:</translation>
    </message>
    <message>
        <source>read back: %1 items in %2 folders, as written</source>
        <translation>読み戻し: %2 個のフォルダーに %1 件のアイテム、書き込みどおり</translation>
    </message>
    <message>
        <source>read back: %1 items in %2 folders; differs from what was written:</source>
        <translation>読み戻し: %2 個のフォルダーに %1 件のアイテム。書き込んだ内容と異なります:</translation>
    </message>
</context>
<context>
    <name>FileListGrid</name>
    <message>
        <source>File</source>
        <translation>ファイル</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>結果</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>サイズ</translation>
    </message>
</context>
</TS>
