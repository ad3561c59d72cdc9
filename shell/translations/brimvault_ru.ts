<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru" sourcelanguage="en">
<context>
    <name>frmStep1</name>
    <message>
        <source>Brimvault Converter</source>
        <translation>Brimvault Converter</translation>
    </message>
    <message>
        <source>Converts Brimvault MBOX backups to EML, EMLX, MSG and PST files</source>
        <translation>Преобразует резервные копии Brimvault MBOX в файлы EML, EMLX, MSG и PST</translation>
    </message>
    <message>
        <source>Select Brimvault file(s)...</source>
        <translation>Выбрать файлы Brimvault...</translation>
    </message>
    <message>
        <source>Select folder having brimvault file(s)...</source>
        <translation>Выбрать папку с файлами Brimvault...</translation>
    </message>
    <message>
        <source>Clear file(s)...</source>
        <translation>Очистить...</translation>
    </message>
    <message>
        <source>0 files</source>
        <translation>Файлов: 0</translation>
    </message>
    <message>
        <source> I want to convert brimvault messages to...</source>
        <translation> Преобразовать сообщения Brimvault в...</translation>
    </message>
    <message>
        <source>(.eml) files          -     (Supported by Outlook Express, Windows Mail, Windows Live Mail)</source>
        <translation>Файлы (.eml)   -   (Outlook Express, Почта Windows, Windows Live Mail)</translation>
    </message>
    <message>
        <source>(.emlx) files        -     (Supported by Mac OS X Tiger Mail)</source>
        <translation>Файлы (.emlx)   -   (Mail в Mac OS X Tiger)</translation>
    </message>
    <message>
        <source>(.pst) files          -     (Supported by MS Outlook, Outlook 2011 for Mac)</source>
        <translation>Файлы (.pst)   -   (MS Outlook, Outlook 2011 для Mac)</translation>
    </message>
    <message>
        <source>(.msg) files         -     (Supported by MS Outlook, Document Management Software, Forensic Tools)</source>
        <translation>Файлы (.msg)   -   (MS Outlook, системы документооборота, криминалистика)</translation>
    </message>
    <message>
        <source>Create Single Outlook PST file for All files</source>
        <translation>Создать один файл Outlook PST для всех файлов</translation>
    </message>
    <message>
        <source>Sort messages into folders by their labels</source>
        <translation>Разложить сообщения по папкам по ярлыкам</translation>
    </message>
    <message>
        <source>Label map...</source>
        <translation>Ярлыки...</translation>
    </message>
    <message>
        <source>Converting Messages...</source>
        <translation>Преобразование...</translation>
    </message>
    <message>
        <source>Mailbox  0 (of 0)</source>
        <translation>Ящик  0 (из 0)</translation>
    </message>
    <message>
        <source>Reading          :</source>
        <translation>Чтение          :</translation>
    </message>
    <message>
        <source>Saving :</source>
        <translation>Сохранение :</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Преобразовать</translation>
    </message>
    <message>
        <source>&amp;Help Manual</source>
        <translation>&amp;Справка</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>В&amp;ыход</translation>
    </message>
    <message>
        <source>Selecting this option will allow you to create a single PST file for all MBOX files</source>
        <translation>Этот параметр создаёт один файл PST для всех файлов MBOX</translation>
    </message>
    <message>
        <source>Each message goes to the folder its labels choose and keeps its unread and starred state</source>
        <translation>Каждое сообщение попадает в папку, выбранную его ярлыками, и сохраняет отметки «непрочитано» и «помечено»</translation>
    </message>
    <message>
        <source>A file of your own that says what labels mean, one line each: label = Inbox, Sent Items, Drafts, Deleted Items, Junk Email, unread, starred, ignore or a folder path</source>
        <translation>Собственный файл, где сказано, что значат ярлыки, по строке на ярлык: ярлык = Inbox, Sent Items, Drafts, Deleted Items, Junk Email, unread, starred, ignore или путь к папке</translation>
    </message>
    <message>
        <source>Please select a option to convert file(s).</source>
        <translation>Выберите формат, в который преобразовать.</translation>
    </message>
    <message>
        <source>Choose Folder to Save...</source>
        <translation>Выберите папку для сохранения...</translation>
    </message>
    <message>
        <source>Mailbox %1 (of %2) </source>
        <translation>Ящик %1 (из %2) </translation>
    </message>
    <message>
        <source>Saved %1 Email Messages...</source>
        <translation>Сохранено сообщений: %1...</translation>
    </message>
    <message>
        <source>Are you sure you want to exit now?</source>
        <translation>Вы действительно хотите выйти?</translation>
    </message>
    <message>
        <source>A conversion is running. Stop it and exit?</source>
        <translation>Идёт преобразование. Остановить и выйти?</translation>
    </message>
    <message>
        <source>The label map cannot be used:</source>
        <translation>Карту ярлыков нельзя использовать:</translation>
    </message>
    <message>
        <source>Label maps (*.txt);;All files (*)</source>
        <translation>Карты ярлыков (*.txt);;Все файлы (*)</translation>
    </message>
    <message>
        <source>Sort without the label map %1?</source>
        <translation>Сортировать без карты ярлыков %1?</translation>
    </message>
    <message>
        <source>Label map in use: %1</source>
        <translation>Используется карта ярлыков: %1</translation>
    </message>
    <message>
        <source>%1 already there</source>
        <translation>уже есть: %1</translation>
    </message>
    <message>
        <source>%1 converted</source>
        <translation>преобразовано: %1</translation>
    </message>
    <message>
        <source>%1 not converted</source>
        <translation>не преобразовано: %1</translation>
    </message>
    <message>
        <source>failed: %1</source>
        <translation>ошибка: %1</translation>
    </message>
    <message>
        <source>not reached</source>
        <translation>не достигнут</translation>
    </message>
    <message>
        <source>nothing in it</source>
        <translation>пусто</translation>
    </message>
    <message>
        <source>passed over</source>
        <translation>пропущен</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>Открыть папку</translation>
    </message>
    <message>
        <source>Save report...</source>
        <translation>Сохранить отчёт...</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>Файлы CSV (*.csv)</translation>
    </message>
    <message>
        <source>The report could not be saved: %1</source>
        <translation>Не удалось сохранить отчёт: %1</translation>
    </message>
    <message>
        <source>Brimvault Converter Help</source>
        <translation>Справка Brimvault Converter</translation>
    </message>
    <message>
        <source>A store larger than 50 GB is written in parts. Microsoft 365's PST import skips items over 150 MB (each is converted with a warning) and recommends stores of at most 20 GB: for it, convert with brimvault-convert --max-pst-size 20G</source>
        <translation>Хранилище больше 50 ГБ записывается частями. Импорт PST в Microsoft 365 пропускает элементы больше 150 МБ (каждый преобразуется с предупреждением) и рекомендует хранилища не больше 20 ГБ: для него преобразуйте командой brimvault-convert --max-pst-size 20G</translation>
    </message>
</context>
<context>
    <name>filelist</name>
    <message>
        <source>Searching the folder: %1 files found (Esc stops)</source>
        <translation>Поиск в папке: найдено файлов: %1 (Esc — остановить)</translation>
    </message>
    <message>
        <source>Do you want to clear all the files in the list&#xd;
 Proceed?</source>
        <translation>Удалить все файлы из списка?&#xd;
 Продолжить?</translation>
    </message>
    <message>
        <source>%1 files</source>
        <translation>Файлов: %1</translation>
    </message>
    <message>
        <source>Please select only %1 files at a time</source>
        <translation>Выберите не более %1 файлов за раз</translation>
    </message>
    <message>
        <source>Brimvault Files (*.*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</source>
        <translation>Файлы Brimvault (*.*);;Файлы MBOX (*.mbox *.mbx);;Контакты и календари (*.vcf *.ics);;Архивы (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</translation>
    </message>
    <message>
        <source>Brimvault Files (*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</source>
        <translation>Файлы Brimvault (*);;Файлы MBOX (*.mbox *.mbx);;Контакты и календари (*.vcf *.ics);;Архивы (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</translation>
    </message>
    <message>
        <source>Choose Source Folder...</source>
        <translation>Выберите исходную папку...</translation>
    </message>
    <message>
        <source>The folder %1 could not be read; the files found before it were added.</source>
        <translation>Не удалось прочитать папку %1; найденные до неё файлы добавлены.</translation>
    </message>
    <message>
        <source>%1 Files Added to List.</source>
        <translation>Добавлено в список файлов: %1.</translation>
    </message>
    <message>
        <source>Already in the list: %1.</source>
        <translation>Уже в списке: %1.</translation>
    </message>
</context>
<context>
    <name>Prompts</name>
    <message>
        <source>... (the rest is in the details)</source>
        <translation>... (остальное — в подробностях)</translation>
    </message>
</context>
<context>
    <name>Completion</name>
    <message>
        <source>Your messages from Brimvault files has been successfully exported to Outlook (.pst) file.</source>
        <translation>Сообщения из файлов Brimvault успешно экспортированы в файл Outlook (.pst).</translation>
    </message>
    <message>
        <source>Start Outlook and open converted pst file by clicking File -&gt; Open -&gt; Outlook Data File. And it all done !</source>
        <translation>Запустите Outlook и откройте преобразованный файл PST: Файл -&gt; Открыть -&gt; Файл данных Outlook. Готово!</translation>
    </message>
    <message>
        <source>Your messages from Brimvault files has been successfully exported.</source>
        <translation>Сообщения из файлов Brimvault успешно экспортированы.</translation>
    </message>
    <message>
        <source>The conversion finished with problems.</source>
        <translation>Преобразование завершилось с проблемами.</translation>
    </message>
    <message>
        <source>What failed:</source>
        <translation>Ошибки:</translation>
    </message>
    <message>
        <source>Converted with warnings:</source>
        <translation>Преобразовано с предупреждениями:</translation>
    </message>
    <message>
        <source>Passed over:</source>
        <translation>Пропущено:</translation>
    </message>
    <message>
        <source>Messages per folder:</source>
        <translation>Сообщений в папках:</translation>
    </message>
    <message>
        <source>Nothing to convert: there is no mailbox among the listed files.</source>
        <translation>Нечего преобразовывать: среди файлов списка нет почтовых ящиков.</translation>
    </message>
    <message>
        <source>The conversion stopped there; the mailboxes converted before it keep their output.</source>
        <translation>Преобразование остановлено на этом; ранее преобразованные ящики сохраняют результат.</translation>
    </message>
    <message>
        <source>Converted: %1 mailboxes, %2 messages.</source>
        <translation>Преобразовано: ящиков: %1, сообщений: %2.</translation>
    </message>
    <message>
        <source>Converted: %1 of %2 mailboxes, %3 messages.</source>
        <translation>Преобразовано: ящиков: %1 из %2, сообщений: %3.</translation>
    </message>
    <message>
        <source>Converted: %1 mailboxes, %2 messages; %3 contacts and calendar files, %4 contacts, events and tasks.</source>
        <translation>Преобразовано: ящиков: %1, сообщений: %2; файлов контактов и календарей: %3, контактов, событий и задач: %4.</translation>
    </message>
    <message>
        <source>Converted: %1 of %2 mailboxes, %3 messages; %4 of %5 contacts and calendar files, %6 contacts, events and tasks.</source>
        <translation>Преобразовано: ящиков: %1 из %2, сообщений: %3; файлов контактов и календарей: %4 из %5, контактов, событий и задач: %6.</translation>
    </message>
    <message>
        <source>Messages not converted: %1.</source>
        <translation>Не преобразовано сообщений: %1.</translation>
    </message>
    <message>
        <source>Contacts, events and tasks not converted: %1.</source>
        <translation>Не преобразовано контактов, событий и задач: %1.</translation>
    </message>
    <message>
        <source>The disk is full: the run ended there; the rest of the file in hand was not read.</source>
        <translation>Диск заполнен: преобразование на этом закончилось; остаток читаемого файла не прочитан.</translation>
    </message>
    <message>
        <source>The disk is full: the run ended there; the rest of the file in hand was not read, nor %1 more listed files.</source>
        <translation>Диск заполнен: преобразование на этом закончилось; остаток читаемого файла не прочитан, как и ещё %1 файлов из списка.</translation>
    </message>
    <message>
        <source>The run was stopped; the rest of the file in hand was not read.</source>
        <translation>Преобразование остановлено; остаток читаемого файла не прочитан.</translation>
    </message>
    <message>
        <source>The run was stopped; the rest of the file in hand was not read, nor %1 more listed files.</source>
        <translation>Преобразование остановлено; остаток читаемого файла не прочитан, как и ещё %1 файлов из списка.</translation>
    </message>
    <message>
        <source>Every message (%1) was already there: nothing needed to be added.</source>
        <translation>Все сообщения (%1) уже были на месте: добавлять было нечего.</translation>
    </message>
    <message>
        <source>Already there, so not added again: %1 messages.</source>
        <translation>Уже были, поэтому не добавлены повторно: сообщений: %1.</translation>
    </message>
    <message>
        <source>Already there, so not added again: %1 messages, %2 contacts, events and tasks.</source>
        <translation>Уже были, поэтому не добавлены повторно: сообщений: %1, контактов, событий и задач: %2.</translation>
    </message>
    <message>
        <source>Messages were added to the store of an earlier run: %1</source>
        <translation>Сообщения добавлены в хранилище прежнего преобразования: %1</translation>
    </message>
    <message>
        <source>Store: %1</source>
        <translation>Хранилище: %1</translation>
    </message>
    <message>
        <source>Stores: %1 .pst files, one per mailbox.</source>
        <translation>Хранилища: файлов .pst: %1, по одному на ящик.</translation>
    </message>
    <message>
        <source>Stores: %1 .pst files, one per mailbox; messages were added to %2 of them, made by an earlier run.</source>
        <translation>Хранилища: файлов .pst: %1, по одному на ящик; в %2 из них, созданных прежним преобразованием, добавлены сообщения.</translation>
    </message>
    <message>
        <source>Destination: %1</source>
        <translation>Папка назначения: %1</translation>
    </message>
    <message>
        <source>... and %1 more.</source>
        <translation>... и ещё %1.</translation>
    </message>
    <message>
        <source>Stores larger than the size limit were written in parts:</source>
        <translation>Хранилища больше предела размера записаны частями:</translation>
    </message>
    <message>
        <source>read back: %1 items in %2 folders, as written</source>
        <translation>прочитано обратно: элементов: %1 в папках: %2, как записано</translation>
    </message>
    <message>
        <source>read back: %1 items in %2 folders; differs from what was written:</source>
        <translation>прочитано обратно: элементов: %1 в папках: %2; отличается от записанного:</translation>
    </message>
</context>
<context>
    <name>FileListGrid</name>
    <message>
        <source>File</source>
        <translation>Файл</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Результат</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Размер</translation>
    </message>
</context>
</TS>
