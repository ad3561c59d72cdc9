<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ko" sourcelanguage="en">
<context>
    <name>frmStep1</name>
    <message>
        <source>Brimvault Converter</source>
        <translation>Brimvault Converter</translation>
    </message>
    <message>
        <source>Converts Brimvault MBOX backups to EML, EMLX, MSG and PST files</source>
        <translation>Brimvault MBOX 백업을 EML, EMLX, MSG, PST 파일로 변환합니다</translation>
    </message>
    <message>
        <source>Select Brimvault file(s)...</source>
        <translation>Brimvault 파일 선택...</translation>
    </message>
    <message>
        <source>Select folder having brimvault file(s)...</source>
        <translation>Brimvault 파일이 있는 폴더 선택...</translation>
    </message>
    <message>
        <source>Clear file(s)...</source>
        <translation>목록 지우기...</translation>
    </message>
    <message>
        <source>0 files</source>
        <translation>파일 0개</translation>
    </message>
    <message>
        <source> I want to convert brimvault messages to...</source>
        <translation> Brimvault 메시지를 다음으로 변환...</translation>
    </message>
    <message>
        <source>(.eml) files          -     (Supported by Outlook Express, Windows Mail, Windows Live Mail)</source>
        <translation>(.eml) 파일   -   (Outlook Express, Windows 메일, Windows Live Mail)</translation>
    </message>
    <message>
        <source>(.emlx) files        -     (Supported by Mac OS X Tiger Mail)</source>
        <translation>(.emlx) 파일   -   (Mac OS X Tiger Mail)</translation>
    </message>
    <message>
        <source>(.pst) files          -     (Supported by MS Outlook, Outlook 2011 for Mac)</source>
        <translation>(.pst) 파일   -   (MS Outlook, Outlook 2011 for Mac)</translation>
    </message>
    <message>
        <source>(.msg) files         -     (Supported by MS Outlook, Document Management Software, Forensic Tools)</source>
        <translation>(.msg) 파일   -   (MS Outlook, 문서 관리 소프트웨어, 포렌식 도구)</translation>
    </message>
    <message>
        <source>Create Single Outlook PST file for All files</source>
        <translation>모든 파일에 대해 Outlook PST 파일 하나 만들기</translation>
    </message>
    <message>
        <source>Sort messages into folders by their labels</source>
        <translation>라벨별로 메시지를 폴더에 정리</translation>
    </message>
    <message>
        <source>Label map...</source>
        <translation>라벨 매핑...</translation>
    </message>
    <message>
        <source>Converting Messages...</source>
        <translation>메시지 변환 중...</translation>
    </message>
    <message>
        <source>Mailbox  0 (of 0)</source>
        <translation>메일함 0 / 0</translation>
    </message>
    <message>
        <source>Reading          :</source>
        <translation>읽는 중:</translation>
    </message>
    <message>
        <source>Saving :</source>
        <translation>저장 중:</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>변환</translation>
    </message>
    <message>
        <source>&amp;Help Manual</source>
        <translation>도움말(&amp;H)</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>종료(&amp;X)</translation>
    </message>
    <message>
        <source>Selecting this option will allow you to create a single PST file for all MBOX files</source>
        <translation>이 옵션을 선택하면 모든 MBOX 파일에 대해 PST 파일 하나를 만듭니다</translation>
    </message>
    <message>
        <source>Each message goes to the folder its labels choose and keeps its unread and starred state</source>
        <translation>각 메시지는 라벨이 정하는 폴더로 가며 읽지 않음과 별표 상태를 유지합니다</translation>
    </message>
    <message>
        <source>A file of your own that says what labels mean, one line each: label = Inbox, Sent Items, Drafts, Deleted Items, Junk Email, unread, starred, ignore or a folder path</source>
        <translation>라벨의 뜻을 정하는 나만의 파일, 한 줄에 하나씩: 라벨 = Inbox, Sent Items, Drafts, Deleted Items, Junk Email, unread, starred, ignore 또는 폴더 경로</translation>
    </message>
    <message>
        <source>Please select a option to convert file(s).</source>
        <translation>변환할 형식을 선택하세요.</translation>
    </message>
    <message>
        <source>Choose Folder to Save...</source>
        <translation>저장할 폴더 선택...</translation>
    </message>
    <message>
        <source>Mailbox %1 (of %2) </source>
        <translation>메일함 %1 / %2 </translation>
    </message>
    <message>
        <source>Saved %1 Email Messages...</source>
        <translation>메시지 %1개 저장함...</translation>
    </message>
    <message>
        <source>Are you sure you want to exit now?</source>
        <translation>지금 종료하시겠습니까?</translation>
    </message>
    <message>
        <source>A conversion is running. Stop it and exit?</source>
        <translation>변환이 진행 중입니다. 중지하고 종료할까요?</translation>
    </message>
    <message>
        <source>The label map cannot be used:</source>
        <translation>라벨 매핑을 사용할 수 없습니다:</translation>
    </message>
    <message>
        <source>Label maps (*.txt);;All files (*)</source>
        <translation>라벨 매핑 (*.txt);;모든 파일 (*)</translation>
    </message>
    <message>
        <source>Sort without the label map %1?</source>
        <translation>라벨 매핑 %1 없이 정리할까요?</translation>
    </message>
    <message>
        <source>Label map in use: %1</source>
        <translation>사용 중인 라벨 매핑: %1</translation>
    </message>
</context>
<context>
    <name>filelist</name>
    <message>
        <source>Searching the folder: %1 files found (Esc stops)</source>
        <translation>폴더 검색 중: 파일 %1개 찾음 (Esc로 중지)</translation>
    </message>
    <message>
        <source>Do you want to clear all the files in the list&#xd;
 Proceed?</source>
        <translation>목록의 파일을 모두 지울까요?&#xd;
 계속할까요?</translation>
    </message>
    <message>
        <source>%1 files</source>
        <translation>파일 %1개</translation>
    </message>
    <message>
        <source>Please select only %1 files at a time</source>
        <translation>한 번에 최대 %1개 파일만 선택하세요</translation>
    </message>
    <message>
        <source>Brimvault Files (*.*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</source>
        <translation>Brimvault 파일 (*.*);;MBOX 파일 (*.mbox *.mbx);;연락처 및 캘린더 (*.vcf *.ics);;압축 파일 (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</translation>
    </message>
    <message>
        <source>Brimvault Files (*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</source>
        <translation>Brimvault 파일 (*);;MBOX 파일 (*.mbox *.mbx);;연락처 및 캘린더 (*.vcf *.ics);;압축 파일 (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</translation>
    </message>
    <message>
        <source>Choose Source Folder...</source>
        <translation>원본 폴더 선택...</translation>
    </message>
    <message>
        <source>The folder %1 could not be read; the files found before it were added.</source>
        <translation>폴더 %1을(를) 읽을 수 없습니다. 그 전에 찾은 파일은 추가했습니다.</translation>
    </message>
    <message>
        <source>%1 Files Added to List.</source>
        <translation>파일 %1개를 목록에 추가했습니다.</translation>
    </message>
    <message>
        <source>Already in the list: %1.</source>
        <translation>이미 목록에 있음: %1.</translation>
    </message>
</context>
<context>
    <name>Prompts</name>
    <message>
        <source>... (the rest is in the details)</source>
        <translation>... (나머지는 자세히 보기에 있습니다)</translation>
    </message>
</context>
<context>
    <name>Completion</name>
    <message>
        <source>Your messages from Brimvault files has been successfully exported to Outlook (.pst) file.</source>
        <translation>Brimvault 파일의 메시지를 Outlook(.pst) 파일로 내보냈습니다.</translation>
    </message>
    <message>
        <source>Start Outlook and open converted pst file by clicking File -&gt; Open -&gt; Outlook Data File. And it all done !</source>
        <translation>Outlook을 시작하고 [파일] -&gt; [열기] -&gt; [Outlook 데이터 파일]에서 변환된 PST 파일을 여세요. 모두 끝났습니다!</translation>
    </message>
    <message>
        <source>Your messages from Brimvault files has been successfully exported.</source>
        <translation>Brimvault 파일의 메시지를 내보냈습니다.</translation>
    </message>
    <message>
        <source>The conversion finished with problems.</source>
        <translation>변환이 끝났지만 문제가 있습니다.</translation>
    </message>
    <message>
        <source>What failed:</source>
        <translation>실패한 항목:</translation>
    </message>
    <message>
        <source>Converted with warnings:</source>
        <translation>경고와 함께 변환됨:</translation>
    </message>
    <message>
        <source>Passed over:</source>
        <translation>건너뜀:</translation>
    </message>
    <message>
        <source>Messages per folder:</source>
        <translation>폴더별 메시지:</translation>
    </message>
    <message>
        <source>Nothing to convert: there is no mailbox among the listed files.</source>
        <translation>변환할 것이 없습니다: 목록의 파일 중 메일함이 없습니다.</translation>
    </message>
    <message>
        <source>The conversion stopped there; the mailboxes converted before it keep their output.</source>
        <translation>변환이 거기서 멈췄습니다. 그 전에 변환한 메일함의 결과는 남아 있습니다.</translation>
    </message>
</context>
</TS>
