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
</context>
</TS>
