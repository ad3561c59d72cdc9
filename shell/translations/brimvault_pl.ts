<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pl" sourcelanguage="en">
<context>
    <name>frmStep1</name>
    <message>
        <source>Brimvault Converter</source>
        <translation>Brimvault Converter</translation>
    </message>
    <message>
        <source>Converts Brimvault MBOX backups to EML, EMLX, MSG and PST files</source>
        <translation>Konwertuje kopie zapasowe MBOX z Brimvault do plików EML, EMLX, MSG i PST</translation>
    </message>
    <message>
        <source>Select Brimvault file(s)...</source>
        <translation>Wybierz pliki Brimvault...</translation>
    </message>
    <message>
        <source>Select folder having brimvault file(s)...</source>
        <translation>Wybierz folder z plikami Brimvault...</translation>
    </message>
    <message>
        <source>Clear file(s)...</source>
        <translation>Wyczyść listę...</translation>
    </message>
    <message>
        <source>0 files</source>
        <translation>Plików: 0</translation>
    </message>
    <message>
        <source> I want to convert brimvault messages to...</source>
        <translation> Chcę przekonwertować wiadomości Brimvault do...</translation>
    </message>
    <message>
        <source>(.eml) files          -     (Supported by Outlook Express, Windows Mail, Windows Live Mail)</source>
        <translation>Pliki (.eml)   -   (Outlook Express, Poczta systemu Windows, Windows Live Mail)</translation>
    </message>
    <message>
        <source>(.emlx) files        -     (Supported by Mac OS X Tiger Mail)</source>
        <translation>Pliki (.emlx)   -   (Mail w Mac OS X Tiger)</translation>
    </message>
    <message>
        <source>(.pst) files          -     (Supported by MS Outlook, Outlook 2011 for Mac)</source>
        <translation>Pliki (.pst)   -   (MS Outlook, Outlook 2011 dla komputerów Mac)</translation>
    </message>
    <message>
        <source>(.msg) files         -     (Supported by MS Outlook, Document Management Software, Forensic Tools)</source>
        <translation>Pliki (.msg)   -   (MS Outlook, zarządzanie dokumentami, narzędzia śledcze)</translation>
    </message>
    <message>
        <source>Create Single Outlook PST file for All files</source>
        <translation>Utwórz jeden plik PST programu Outlook dla wszystkich plików</translation>
    </message>
    <message>
        <source>Sort messages into folders by their labels</source>
        <translation>Sortuj wiadomości do folderów według etykiet</translation>
    </message>
    <message>
        <source>Label map...</source>
        <translation>Mapa etykiet...</translation>
    </message>
    <message>
        <source>Converting Messages...</source>
        <translation>Konwersja...</translation>
    </message>
    <message>
        <source>Mailbox  0 (of 0)</source>
        <translation>Skrzynka  0 (z 0)</translation>
    </message>
    <message>
        <source>Reading          :</source>
        <translation>Odczyt          :</translation>
    </message>
    <message>
        <source>Saving :</source>
        <translation>Zapisywanie :</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Konwertuj</translation>
    </message>
    <message>
        <source>&amp;Help Manual</source>
        <translation>Pomo&amp;c</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>Za&amp;kończ</translation>
    </message>
    <message>
        <source>Selecting this option will allow you to create a single PST file for all MBOX files</source>
        <translation>Ta opcja tworzy jeden plik PST dla wszystkich plików MBOX</translation>
    </message>
    <message>
        <source>Each message goes to the folder its labels choose and keeps its unread and starred state</source>
        <translation>Każda wiadomość trafia do folderu wskazanego przez jej etykiety i zachowuje stan nieprzeczytana i oznaczona gwiazdką</translation>
    </message>
    <message>
        <source>A file of your own that says what labels mean, one line each: label = Inbox, Sent Items, Drafts, Deleted Items, Junk Email, unread, starred, ignore or a folder path</source>
        <translation>Własny plik mówiący, co znaczą etykiety, po jednym wierszu: etykieta = Inbox, Sent Items, Drafts, Deleted Items, Junk Email, unread, starred, ignore lub ścieżka folderu</translation>
    </message>
    <message>
        <source>Please select a option to convert file(s).</source>
        <translation>Wybierz format konwersji.</translation>
    </message>
    <message>
        <source>Choose Folder to Save...</source>
        <translation>Wybierz folder docelowy...</translation>
    </message>
    <message>
        <source>Mailbox %1 (of %2) </source>
        <translation>Skrzynka %1 (z %2) </translation>
    </message>
    <message>
        <source>Saved %1 Email Messages...</source>
        <translation>Zapisano wiadomości: %1...</translation>
    </message>
    <message>
        <source>Are you sure you want to exit now?</source>
        <translation>Czy na pewno chcesz teraz zakończyć?</translation>
    </message>
    <message>
        <source>A conversion is running. Stop it and exit?</source>
        <translation>Trwa konwersja. Zatrzymać ją i zakończyć?</translation>
    </message>
    <message>
        <source>The label map cannot be used:</source>
        <translation>Nie można użyć mapy etykiet:</translation>
    </message>
    <message>
        <source>Label maps (*.txt);;All files (*)</source>
        <translation>Mapy etykiet (*.txt);;Wszystkie pliki (*)</translation>
    </message>
    <message>
        <source>Sort without the label map %1?</source>
        <translation>Sortować bez mapy etykiet %1?</translation>
    </message>
    <message>
        <source>Label map in use: %1</source>
        <translation>Używana mapa etykiet: %1</translation>
    </message>
    <message>
        <source>%1 already there</source>
        <translation>już istniejące: %1</translation>
    </message>
    <message>
        <source>%1 converted</source>
        <translation>przekonwertowano: %1</translation>
    </message>
    <message>
        <source>%1 not converted</source>
        <translation>nieprzekonwertowane: %1</translation>
    </message>
    <message>
        <source>failed: %1</source>
        <translation>niepowodzenie: %1</translation>
    </message>
    <message>
        <source>not reached</source>
        <translation>nie osiągnięto</translation>
    </message>
    <message>
        <source>nothing in it</source>
        <translation>nic w nim</translation>
    </message>
    <message>
        <source>passed over</source>
        <translation>pominięto</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>Otwórz folder</translation>
    </message>
    <message>
        <source>Save report...</source>
        <translation>Zapisz raport...</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>Pliki CSV (*.csv)</translation>
    </message>
    <message>
        <source>The report could not be saved: %1</source>
        <translation>Nie można zapisać raportu: %1</translation>
    </message>
    <message>
        <source>Brimvault Converter Help</source>
        <translation>Pomoc Brimvault Converter</translation>
    </message>
    <message>
        <source>A store larger than 50 GB is written in parts. Microsoft 365's PST import skips items over 150 MB (each is converted with a warning) and recommends stores of at most 20 GB: for it, convert with brimvault-convert --max-pst-size 20G</source>
        <translation>Magazyn większy niż 50 GB jest zapisywany w częściach. Import PST w Microsoft 365 pomija elementy ponad 150 MB (każdy jest konwertowany z ostrzeżeniem) i zaleca magazyny najwyżej 20 GB: w tym celu konwertuj poleceniem brimvault-convert --max-pst-size 20G</translation>
    </message>
</context>
<context>
    <name>filelist</name>
    <message>
        <source>Searching the folder: %1 files found (Esc stops)</source>
        <translation>Przeszukiwanie folderu: znaleziono plików: %1 (Esc przerywa)</translation>
    </message>
    <message>
        <source>Do you want to clear all the files in the list&#xd;
 Proceed?</source>
        <translation>Usunąć wszystkie pliki z listy?&#xd;
 Kontynuować?</translation>
    </message>
    <message>
        <source>%1 files</source>
        <translation>Plików: %1</translation>
    </message>
    <message>
        <source>Please select only %1 files at a time</source>
        <translation>Wybierz najwyżej %1 plików naraz</translation>
    </message>
    <message>
        <source>Brimvault Files (*.*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</source>
        <translation>Pliki Brimvault (*.*);;Pliki MBOX (*.mbox *.mbx);;Kontakty i kalendarze (*.vcf *.ics);;Archiwa (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</translation>
    </message>
    <message>
        <source>Brimvault Files (*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</source>
        <translation>Pliki Brimvault (*);;Pliki MBOX (*.mbox *.mbx);;Kontakty i kalendarze (*.vcf *.ics);;Archiwa (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</translation>
    </message>
    <message>
        <source>Choose Source Folder...</source>
        <translation>Wybierz folder źródłowy...</translation>
    </message>
    <message>
        <source>The folder %1 could not be read; the files found before it were added.</source>
        <translation>Nie można odczytać folderu %1; dodano pliki znalezione wcześniej.</translation>
    </message>
    <message>
        <source>%1 Files Added to List.</source>
        <translation>Dodano do listy plików: %1.</translation>
    </message>
    <message>
        <source>Already in the list: %1.</source>
        <translation>Już na liście: %1.</translation>
    </message>
</context>
<context>
    <name>Prompts</name>
    <message>
        <source>... (the rest is in the details)</source>
        <translation>... (reszta znajduje się w szczegółach)</translation>
    </message>
</context>
<context>
    <name>Completion</name>
    <message>
        <source>Your messages from Brimvault files has been successfully exported to Outlook (.pst) file.</source>
        <translation>Wiadomości z plików Brimvault zostały wyeksportowane do pliku programu Outlook (.pst).</translation>
    </message>
    <message>
        <source>Start Outlook and open converted pst file by clicking File -&gt; Open -&gt; Outlook Data File. And it all done !</source>
        <translation>Uruchom program Outlook i otwórz przekonwertowany plik PST: Plik -&gt; Otwórz -&gt; Plik danych programu Outlook. Gotowe!</translation>
    </message>
    <message>
        <source>Your messages from Brimvault files has been successfully exported.</source>
        <translation>Wiadomości z plików Brimvault zostały wyeksportowane.</translation>
    </message>
    <message>
        <source>The conversion finished with problems.</source>
        <translation>Konwersja zakończyła się z problemami.</translation>
    </message>
    <message>
        <source>What failed:</source>
        <translation>Niepowodzenia:</translation>
    </message>
    <message>
        <source>Converted with warnings:</source>
        <translation>Przekonwertowane z ostrzeżeniami:</translation>
    </message>
    <message>
        <source>Passed over:</source>
        <translation>Pominięte:</translation>
    </message>
    <message>
        <source>Messages per folder:</source>
        <translation>Wiadomości w folderach:</translation>
    </message>
    <message>
        <source>Nothing to convert: there is no mailbox among the listed files.</source>
        <translation>Nic do konwersji: żaden z plików na liście nie jest skrzynką pocztową.</translation>
    </message>
    <message>
        <source>The conversion stopped there; the mailboxes converted before it keep their output.</source>
        <translation>Konwersja zatrzymała się w tym miejscu; wcześniej przekonwertowane skrzynki zachowują wynik.</translation>
    </message>
    <message>
        <source>Converted: %1 mailboxes, %2 messages.</source>
        <translation>Przekonwertowano: skrzynki: %1, wiadomości: %2.</translation>
    </message>
    <message>
        <source>Converted: %1 of %2 mailboxes, %3 messages.</source>
        <translation>Przekonwertowano: skrzynki: %1 z %2, wiadomości: %3.</translation>
    </message>
    <message>
        <source>Converted: %1 mailboxes, %2 messages; %3 contacts and calendar files, %4 contacts, events and tasks.</source>
        <translation>Przekonwertowano: skrzynki: %1, wiadomości: %2; pliki kontaktów i kalendarzy: %3, kontakty, wydarzenia i zadania: %4.</translation>
    </message>
    <message>
        <source>Converted: %1 of %2 mailboxes, %3 messages; %4 of %5 contacts and calendar files, %6 contacts, events and tasks.</source>
        <translation>Przekonwertowano: skrzynki: %1 z %2, wiadomości: %3; pliki kontaktów i kalendarzy: %4 z %5, kontakty, wydarzenia i zadania: %6.</translation>
    </message>
    <message>
        <source>Messages not converted: %1.</source>
        <translation>Nieprzekonwertowane wiadomości: %1.</translation>
    </message>
    <message>
        <source>Contacts, events and tasks not converted: %1.</source>
        <translation>Nieprzekonwertowane kontakty, wydarzenia i zadania: %1.</translation>
    </message>
    <message>
        <source>The disk is full: the run ended there; the rest of the file in hand was not read.</source>
        <translation>Dysk jest pełny: konwersja zakończyła się w tym miejscu; reszta czytanego pliku nie została odczytana.</translation>
    </message>
    <message>
        <source>The disk is full: the run ended there; the rest of the file in hand was not read, nor %1 more listed files.</source>
        <translation>Dysk jest pełny: konwersja zakończyła się w tym miejscu; reszta czytanego pliku nie została odczytana, podobnie jak %1 kolejnych plików z listy.</translation>
    </message>
    <message>
        <source>The run was stopped; the rest of the file in hand was not read.</source>
        <translation>Konwersja została zatrzymana; reszta czytanego pliku nie została odczytana.</translation>
    </message>
    <message>
        <source>The run was stopped; the rest of the file in hand was not read, nor %1 more listed files.</source>
        <translation>Konwersja została zatrzymana; reszta czytanego pliku nie została odczytana, podobnie jak %1 kolejnych plików z listy.</translation>
    </message>
    <message>
        <source>Every message (%1) was already there: nothing needed to be added.</source>
        <translation>Każda wiadomość (%1) już istniała: nie trzeba było niczego dodawać.</translation>
    </message>
    <message>
        <source>Already there, so not added again: %1 messages.</source>
        <translation>Już istniejące, więc nie dodane ponownie: wiadomości: %1.</translation>
    </message>
    <message>
        <source>Already there, so not added again: %1 messages, %2 contacts, events and tasks.</source>
        <translation>Już istniejące, więc nie dodane ponownie: wiadomości: %1, kontakty, wydarzenia i zadania: %2.</translation>
    </message>
    <message>
        <source>Messages were added to the store of an earlier run: %1</source>
        <translation>Wiadomości dodano do magazynu wcześniejszej konwersji: %1</translation>
    </message>
    <message>
        <source>Store: %1</source>
        <translation>Magazyn: %1</translation>
    </message>
    <message>
        <source>Stores: %1 .pst files, one per mailbox.</source>
        <translation>Magazyny: plików .pst: %1, po jednym na skrzynkę.</translation>
    </message>
    <message>
        <source>Stores: %1 .pst files, one per mailbox; messages were added to %2 of them, made by an earlier run.</source>
        <translation>Magazyny: plików .pst: %1, po jednym na skrzynkę; do %2 z nich, utworzonych przez wcześniejszą konwersję, dodano wiadomości.</translation>
    </message>
    <message>
        <source>Destination: %1</source>
        <translation>Miejsce docelowe: %1</translation>
    </message>
    <message>
        <source>... and %1 more.</source>
        <translation>... i %1 więcej.</translation>
    </message>
    <message>
        <source>Stores larger than the size limit were written in parts:</source>
        <translation>Magazyny większe niż limit rozmiaru zapisano w częściach:</translation>
    </message>
    <message>
        <source>read back: %1 items in %2 folders, as written</source>
        <translation>odczytano ponownie: elementy: %1 w folderach: %2, zgodnie z zapisem</translation>
    </message>
    <message>
        <source>read back: %1 items in %2 folders; differs from what was written:</source>
        <translation>odczytano ponownie: elementy: %1 w folderach: %2; różni się od zapisu:</translation>
    </message>
</context>
<context>
    <name>FileListGrid</name>
    <message>
        <source>File</source>
        <translation>Plik</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Wynik</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Rozmiar</translation>
    </message>
</context>
</TS>
