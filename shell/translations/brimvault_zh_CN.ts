<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>frmStep1</name>
    <message>
        <source>Brimvault Converter</source>
        <translation>Brimvault Converter</translation>
    </message>
    <message>
        <source>Converts Brimvault MBOX backups to EML, EMLX, MSG and PST files</source>
        <translation>将 Brimvault MBOX 备份转换为 EML、EMLX、MSG 和 PST 文件</translation>
    </message>
    <message>
        <source>Select Brimvault file(s)...</source>
        <translation>选择 Brimvault 文件...</translation>
    </message>
    <message>
        <source>Select folder having brimvault file(s)...</source>
        <translation>选择包含 Brimvault 文件的文件夹...</translation>
    </message>
    <message>
        <source>Clear file(s)...</source>
        <translation>清空列表...</translation>
    </message>
    <message>
        <source>0 files</source>
        <translation>0 个文件</translation>
    </message>
    <message>
        <source> I want to convert brimvault messages to...</source>
        <translation> 将 Brimvault 邮件转换为...</translation>
    </message>
    <message>
        <source>(.eml) files          -     (Supported by Outlook Express, Windows Mail, Windows Live Mail)</source>
        <translation>(.eml) 文件   -   (Outlook Express、Windows Mail、Windows Live Mail)</translation>
    </message>
    <message>
        <source>(.emlx) files        -     (Supported by Mac OS X Tiger Mail)</source>
        <translation>(.emlx) 文件   -   (Mac OS X Tiger 邮件)</translation>
    </message>
    <message>
        <source>(.pst) files          -     (Supported by MS Outlook, Outlook 2011 for Mac)</source>
        <translation>(.pst) 文件   -   (MS Outlook、Outlook 2011 for Mac)</translation>
    </message>
    <message>
        <source>(.msg) files         -     (Supported by MS Outlook, Document Management Software, Forensic Tools)</source>
        <translation>(.msg) 文件   -   (MS Outlook、文档管理软件、取证工具)</translation>
    </message>
    <message>
        <source>Create Single Outlook PST file for All files</source>
        <translation>为所有文件创建一个 Outlook PST 文件</translation>
    </message>
    <message>
        <source>Sort messages into folders by their labels</source>
        <translation>按标签将邮件分到文件夹</translation>
    </message>
    <message>
        <source>Label map...</source>
        <translation>标签映射...</translation>
    </message>
    <message>
        <source>Converting Messages...</source>
        <translation>正在转换邮件...</translation>
    </message>
    <message>
        <source>Mailbox  0 (of 0)</source>
        <translation>邮箱 0 / 0</translation>
    </message>
    <message>
        <source>Reading          :</source>
        <translation>正在读取:</translation>
    </message>
    <message>
        <source>Saving :</source>
        <translation>正在保存:</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>转换</translation>
    </message>
    <message>
        <source>&amp;Help Manual</source>
        <translation>帮助手册(&amp;H)</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>退出(&amp;X)</translation>
    </message>
    <message>
        <source>Selecting this option will allow you to create a single PST file for all MBOX files</source>
        <translation>选择此项可为所有 MBOX 文件创建一个 PST 文件</translation>
    </message>
    <message>
        <source>Each message goes to the folder its labels choose and keeps its unread and starred state</source>
        <translation>每封邮件进入其标签所选的文件夹，并保留未读和星标状态</translation>
    </message>
    <message>
        <source>A file of your own that says what labels mean, one line each: label = Inbox, Sent Items, Drafts, Deleted Items, Junk Email, unread, starred, ignore or a folder path</source>
        <translation>说明标签含义的自定义文件，每行一个：标签 = Inbox、Sent Items、Drafts、Deleted Items、Junk Email、unread、starred、ignore 或文件夹路径</translation>
    </message>
    <message>
        <source>Please select a option to convert file(s).</source>
        <translation>请选择要转换的格式。</translation>
    </message>
    <message>
        <source>Choose Folder to Save...</source>
        <translation>选择保存的文件夹...</translation>
    </message>
    <message>
        <source>Mailbox %1 (of %2) </source>
        <translation>邮箱 %1 / %2 </translation>
    </message>
    <message>
        <source>Saved %1 Email Messages...</source>
        <translation>已保存 %1 封邮件...</translation>
    </message>
    <message>
        <source>Are you sure you want to exit now?</source>
        <translation>确定要立即退出吗？</translation>
    </message>
    <message>
        <source>A conversion is running. Stop it and exit?</source>
        <translation>正在转换。要停止并退出吗？</translation>
    </message>
    <message>
        <source>The label map cannot be used:</source>
        <translation>无法使用标签映射：</translation>
    </message>
    <message>
        <source>Label maps (*.txt);;All files (*)</source>
        <translation>标签映射 (*.txt);;所有文件 (*)</translation>
    </message>
    <message>
        <source>Sort without the label map %1?</source>
        <translation>不使用标签映射 %1 进行整理吗？</translation>
    </message>
    <message>
        <source>Label map in use: %1</source>
        <translation>正在使用的标签映射：%1</translation>
    </message>
    <message>
        <source>%1 already there</source>
        <translation>%1 个已存在</translation>
    </message>
    <message>
        <source>%1 converted</source>
        <translation>%1 个已转换</translation>
    </message>
    <message>
        <source>%1 not converted</source>
        <translation>%1 个未转换</translation>
    </message>
    <message>
        <source>failed: %1</source>
        <translation>失败：%1</translation>
    </message>
    <message>
        <source>not reached</source>
        <translation>未处理到</translation>
    </message>
    <message>
        <source>nothing in it</source>
        <translation>其中没有内容</translation>
    </message>
    <message>
        <source>passed over</source>
        <translation>已跳过</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>打开文件夹</translation>
    </message>
    <message>
        <source>Save report...</source>
        <translation>保存报告...</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV 文件 (*.csv)</translation>
    </message>
    <message>
        <source>The report could not be saved: %1</source>
        <translation>无法保存报告：%1</translation>
    </message>
    <message>
        <source>Brimvault Converter Help</source>
        <translation>Brimvault Converter 帮助</translation>
    </message>
    <message>
        <source>A store larger than 50 GB is written in parts. Microsoft 365's PST import skips items over 150 MB (each is converted with a warning) and recommends stores of at most 20 GB: for it, convert with brimvault-convert --max-pst-size 20G</source>
        <translation>大于 50 GB 的存储将分部分写入。Microsoft 365 的 PST 导入会跳过超过 150 MB 的项目（每个都会带警告转换），并建议存储不超过 20 GB：为此请使用 brimvault-convert --max-pst-size 20G 转换</translation>
    </message>
</context>
<context>
    <name>filelist</name>
    <message>
        <source>Searching the folder: %1 files found (Esc stops)</source>
        <translation>正在搜索文件夹：已找到 %1 个文件（按 Esc 停止）</translation>
    </message>
    <message>
        <source>Do you want to clear all the files in the list&#xd;
 Proceed?</source>
        <translation>要清除列表中的所有文件吗？&#xd;
 继续？</translation>
    </message>
    <message>
        <source>%1 files</source>
        <translation>%1 个文件</translation>
    </message>
    <message>
        <source>Please select only %1 files at a time</source>
        <translation>一次最多选择 %1 个文件</translation>
    </message>
    <message>
        <source>Brimvault Files (*.*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</source>
        <translation>Brimvault 文件 (*.*);;MBOX 文件 (*.mbox *.mbx);;联系人和日历 (*.vcf *.ics);;压缩包 (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</translation>
    </message>
    <message>
        <source>Brimvault Files (*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</source>
        <translation>Brimvault 文件 (*);;MBOX 文件 (*.mbox *.mbx);;联系人和日历 (*.vcf *.ics);;压缩包 (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</translation>
    </message>
    <message>
        <source>Choose Source Folder...</source>
        <translation>选择源文件夹...</translation>
    </message>
    <message>
        <source>The folder %1 could not be read; the files found before it were added.</source>
        <translation>无法读取文件夹 %1；已添加在此之前找到的文件。</translation>
    </message>
    <message>
        <source>%1 Files Added to List.</source>
        <translation>已将 %1 个文件添加到列表。</translation>
    </message>
    <message>
        <source>Already in the list: %1.</source>
        <translation>已在列表中：%1。</translation>
    </message>
</context>
<context>
    <name>Prompts</name>
    <message>
        <source>... (the rest is in the details)</source>
        <translation>...（其余内容见详细信息）</translation>
    </message>
</context>
<context>
    <name>Completion</name>
    <message>
        <source>Your messages from Brimvault files has been successfully exported to Outlook (.pst) file.</source>
        <translation>已成功将 Brimvault 文件中的邮件导出到 Outlook (.pst) 文件。</translation>
    </message>
    <message>
        <source>Start Outlook and open converted pst file by clicking File -&gt; Open -&gt; Outlook Data File. And it all done !</source>
        <translation>启动 Outlook，依次单击“文件”-&gt;“打开”-&gt;“Outlook 数据文件”打开转换后的 PST 文件。全部完成！</translation>
    </message>
    <message>
        <source>Your messages from Brimvault files has been successfully exported.</source>
        <translation>已成功导出 Brimvault 文件中的邮件。</translation>
    </message>
    <message>
        <source>The conversion finished with problems.</source>
        <translation>转换已完成，但有问题。</translation>
    </message>
    <message>
        <source>What failed:</source>
        <translation>失败项：</translation>
    </message>
    <message>
        <source>Converted with warnings:</source>
        <translation>转换时有警告：</translation>
    </message>
    <message>
        <source>Passed over:</source>
        <translation>已跳过：</translation>
    </message>
    <message>
        <source>Messages per folder:</source>
        <translation>各文件夹的邮件：</translation>
    </message>
    <message>
        <source>Nothing to convert: there is no mailbox among the listed files.</source>
        <translation>没有可转换的内容：列表中的文件都不是邮箱。</translation>
    </message>
    <message>
        <source>The conversion stopped there; the mailboxes converted before it keep their output.</source>
        <translation>转换在此停止；之前已转换的邮箱保留其输出。</translation>
    </message>
    <message>
        <source>Converted: %1 mailboxes, %2 messages.</source>
        <translation>已转换：%1 个邮箱，%2 封邮件。</translation>
    </message>
    <message>
        <source>Converted: %1 of %2 mailboxes, %3 messages.</source>
        <translation>已转换：%2 个邮箱中的 %1 个，%3 封邮件。</translation>
    </message>
    <message>
        <source>Converted: %1 mailboxes, %2 messages; %3 contacts and calendar files, %4 contacts, events and tasks.</source>
        <translation>已转换：%1 个邮箱，%2 封邮件；%3 个联系人和日历文件，%4 个联系人、事件和任务。</translation>
    </message>
    <message>
        <source>Converted: %1 of %2 mailboxes, %3 messages; %4 of %5 contacts and calendar files, %6 contacts, events and tasks.</source>
        <translation>已转换：%2 个邮箱中的 %1 个，%3 封邮件；%5 个联系人和日历文件中的 %4 个，%6 个联系人、事件和任务。</translation>
    </message>
    <message>
        <source>Messages not converted: %1.</source>
        <translation>未转换的邮件：%1 封。</translation>
    </message>
    <message>
        <source>Contacts, events and tasks not converted: %1.</source>
        <translation>未转换的联系人、事件和任务：%1 个。</translation>
    </message>
    <message>
        <source>The disk is full: the run ended there; the rest of the file in hand was not read.</source>
        <translation>磁盘已满：转换在此结束；正在读取的文件的其余部分未被读取。</translation>
    </message>
    <message>
        <source>The disk is full: the run ended there; the rest of the file in hand was not read, nor %1 more listed files.</source>
        <translation>磁盘已满：转换在此结束；正在读取的文件的其余部分未被读取，列表中另外 %1 个文件也未被读取。</translation>
    </message>
    <message>
        <source>The run was stopped; the rest of the file in hand was not read.</source>
        <translation>转换已停止；正在读取的文件的其余部分未被读取。</translation>
    </message>
    <message>
        <source>The run was stopped; the rest of the file in hand was not read, nor %1 more listed files.</source>
        <translation>转换已停止；正在读取的文件的其余部分未被读取，列表中另外 %1 个文件也未被读取。</translation>
    </message>
    <message>
        <source>Every message (%1) was already there: nothing needed to be added.</source>
        <translation>所有邮件（%1 封）都已存在：无需添加任何内容。</translation>
    </message>
    <message>
        <source>Already there, so not added again: %1 messages.</source>
        <translation>已存在，因此未再次添加：%1 封邮件。</translation>
    </message>
    <message>
        <source>Already there, so not added again: %1 messages, %2 contacts, events and tasks.</source>
        <translation>已存在，因此未再次添加：%1 封邮件，%2 个联系人、事件和任务。</translation>
    </message>
    <message>
        <source>Messages were added to the store of an earlier run: %1</source>
        <translation>邮件已添加到先前转换所建的存储中：%1</translation>
    </message>
    <message>
        <source>Store: %1</source>
        <translation>存储：%1</translation>
    </message>
    <message>
        <source>Stores: %1 .pst files, one per mailbox.</source>
        <translation>存储：%1 个 .pst 文件，每个邮箱一个。</translation>
    </message>
    <message>
        <source>Stores: %1 .pst files, one per mailbox; messages were added to %2 of them, made by an earlier run.</source>
        <translation>存储：%1 个 .pst 文件，每个邮箱一个；其中 %2 个由先前的转换创建，邮件已添加到其中。</translation>
    </message>
    <message>
        <source>Destination: %1</source>
        <translation>目标位置：%1</translation>
    </message>
    <message>
        <source>... and %1 more.</source>
        <translation>... 另有 %1 项。</translation>
    </message>
    <message>
        <source>Stores larger than the size limit were written in parts:</source>
        <translation>超过大小限制的存储已分部分写入：</translation>
    </message>
    <message>
        <source>read back: %1 items in %2 folders, as written</source>
        <translation>回读：%2 个文件夹中的 %1 个项目，与写入一致</translation>
    </message>
    <message>
        <source>read back: %1 items in %2 folders; differs from what was written:</source>
        <translation>回读：%2 个文件夹中的 %1 个项目；与写入的内容不同：</translation>
    </message>
</context>
<context>
    <name>FileListGrid</name>
    <message>
        <source>File</source>
        <translation>文件</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>结果</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>大小</translation>
    </message>
</context>
</TS>
