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
    <message>
        <source>%1 already there</source>
        <translation>%1개 이미 있음</translation>
    </message>
    <message>
        <source>%1 converted</source>
        <translation>%1개 변환됨</translation>
    </message>
    <message>
        <source>%1 not converted</source>
        <translation>%1개 변환 안 됨</translation>
    </message>
    <message>
        <source>failed: %1</source>
        <translation>실패: %1</translation>
    </message>
    <message>
        <source>not reached</source>
        <translation>처리되지 않음</translation>
    </message>
    <message>
        <source>nothing in it</source>
        <translation>내용 없음</translation>
    </message>
    <message>
        <source>passed over</source>
        <translation>건너뜀</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>폴더 열기</translation>
    </message>
    <message>
        <source>Save report...</source>
        <translation>보고서 저장...</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV 파일 (*.csv)</translation>
    </message>
    <message>
        <source>The report could not be saved: %1</source>
        <translation>보고서를 저장할 수 없습니다: %1</translation>
    </message>
    <message>
        <source>Brimvault Converter Help</source>
        <translation>Brimvault Converter 도움말</translation>
    </message>
    <message>
        <source>A store larger than 50 GB is written in parts. Microsoft 365's PST import skips items over 150 MB (each is converted with a warning) and recommends stores of at most 20 GB: for it, convert with brimvault-convert --max-pst-size 20G</source>
        <translation>50GB보다 큰 저장소는 여러 부분으로 나누어 기록됩니다. Microsoft 365의 PST 가져오기는 150MB가 넘는 항목을 건너뛰고(각각 경고와 함께 변환됨) 20GB 이하의 저장소를 권장합니다. 이 경우 brimvault-convert --max-pst-size 20G로 변환하십시오</translation>
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
    <message>
        <source>Converted: %1 mailboxes, %2 messages.</source>
        <translation>변환됨: 메일함 %1개, 메시지 %2개.</translation>
    </message>
    <message>
        <source>Converted: %1 of %2 mailboxes, %3 messages.</source>
        <translation>변환됨: 메일함 %2개 중 %1개, 메시지 %3개.</translation>
    </message>
    <message>
        <source>Converted: %1 mailboxes, %2 messages; %3 contacts and calendar files, %4 contacts, events and tasks.</source>
        <translation>변환됨: 메일함 %1개, 메시지 %2개; 연락처 및 일정 파일 %3개, 연락처·일정·작업 %4개.</translation>
    </message>
    <message>
        <source>Converted: %1 of %2 mailboxes, %3 messages; %4 of %5 contacts and calendar files, %6 contacts, events and tasks.</source>
        <translation>변환됨: 메일함 %2개 중 %1개, 메시지 %3개; 연락처 및 일정 파일 %5개 중 %4개, 연락처·일정·작업 %6개.</translation>
    </message>
    <message>
        <source>Messages not converted: %1.</source>
        <translation>변환되지 않은 메시지: %1개.</translation>
    </message>
    <message>
        <source>Contacts, events and tasks not converted: %1.</source>
        <translation>변환되지 않은 연락처·일정·작업: %1개.</translation>
    </message>
    <message>
        <source>The disk is full: the run ended there; the rest of the file in hand was not read.</source>
        <translation>디스크가 가득 찼습니다: 변환이 그곳에서 끝났습니다. 읽던 파일의 나머지는 읽지 않았습니다.</translation>
    </message>
    <message>
        <source>The disk is full: the run ended there; the rest of the file in hand was not read, nor %1 more listed files.</source>
        <translation>디스크가 가득 찼습니다: 변환이 그곳에서 끝났습니다. 읽던 파일의 나머지와 목록의 나머지 파일 %1개는 읽지 않았습니다.</translation>
    </message>
    <message>
        <source>The run was stopped; the rest of the file in hand was not read.</source>
        <translation>변환이 중지되었습니다. 읽던 파일의 나머지는 읽지 않았습니다.</translation>
    </message>
    <message>
        <source>The run was stopped; the rest of the file in hand was not read, nor %1 more listed files.</source>
        <translation>변환이 중지되었습니다. 읽던 파일의 나머지와 목록의 나머지 파일 %1개는 읽지 않았습니다.</translation>
    </message>
    <message>
        <source>Every message (%1) was already there: nothing needed to be added.</source>
        <translation>모든 메시지(%1개)가 이미 있었습니다: 추가할 것이 없었습니다.</translation>
    </message>
    <message>
        <source>Already there, so not added again: %1 messages.</source>
        <translation>이미 있어서 다시 추가하지 않음: 메시지 %1개.</translation>
    </message>
    <message>
        <source>Already there, so not added again: %1 messages, %2 contacts, events and tasks.</source>
        <translation>이미 있어서 다시 추가하지 않음: 메시지 %1개, 연락처·일정·작업 %2개.</translation>
    </message>
    <message>
        <source>Messages were added to the store of an earlier run: %1</source>
        <translation>메시지를 이전 변환에서 만든 저장소에 추가했습니다: %1</translation>
    </message>
    <message>
        <source>Store: %1</source>
        <translation>저장소: %1</translation>
    </message>
    <message>
        <source>Stores: %1 .pst files, one per mailbox.</source>
        <translation>저장소: .pst 파일 %1개, 메일함마다 하나.</translation>
    </message>
    <message>
        <source>Stores: %1 .pst files, one per mailbox; messages were added to %2 of them, made by an earlier run.</source>
        <translation>저장소: .pst 파일 %1개, 메일함마다 하나. 그중 이전 변환에서 만든 %2개에 메시지를 추가했습니다.</translation>
    </message>
    <message>
        <source>Destination: %1</source>
        <translation>대상: %1</translation>
    </message>
    <message>
        <source>... and %1 more.</source>
        <translation>... 외 %1개.</translation>
    </message>
    <message>
        <source>Stores larger than the size limit were written in parts:</source>
        <translation>크기 제한을 넘는 저장소는 여러 부분으로 기록되었습니다:</translation>
    </message>
    <message>
        <source>read back: %1 items in %2 folders, as written</source>
        <translation>다시 읽기: 폴더 %2개에 항목 %1개, 기록한 그대로</translation>
    </message>
    <message>
        <source>read back: %1 items in %2 folders; differs from what was written:</source>
        <translation>다시 읽기: 폴더 %2개에 항목 %1개; 기록한 내용과 다릅니다:</translation>
    </message>
</context>
<context>
    <name>FileListGrid</name>
    <message>
        <source>File</source>
        <translation>파일</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>결과</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>크기</translation>
    </message>
</context>
</TS>
