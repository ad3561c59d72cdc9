<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>frmStep1</name>
    <message>
        <source>Brimvault Converter</source>
        <translation>Brimvault Converter</translation>
    </message>
    <message>
        <source>Converts Brimvault MBOX backups to EML, EMLX, MSG and PST files</source>
        <translation>Wandelt Brimvault-MBOX-Sicherungen in EML-, EMLX-, MSG- und PST-Dateien um</translation>
    </message>
    <message>
        <source>Select Brimvault file(s)...</source>
        <translation>Brimvault-Datei(en) wählen...</translation>
    </message>
    <message>
        <source>Select folder having brimvault file(s)...</source>
        <translation>Ordner mit Brimvault-Dateien wählen...</translation>
    </message>
    <message>
        <source>Clear file(s)...</source>
        <translation>Liste leeren...</translation>
    </message>
    <message>
        <source>0 files</source>
        <translation>0 Dateien</translation>
    </message>
    <message>
        <source> I want to convert brimvault messages to...</source>
        <translation> Brimvault-Nachrichten umwandeln in...</translation>
    </message>
    <message>
        <source>(.eml) files          -     (Supported by Outlook Express, Windows Mail, Windows Live Mail)</source>
        <translation>(.eml)-Dateien   -   (für Outlook Express, Windows Mail, Windows Live Mail)</translation>
    </message>
    <message>
        <source>(.emlx) files        -     (Supported by Mac OS X Tiger Mail)</source>
        <translation>(.emlx)-Dateien   -   (für Mail unter Mac OS X Tiger)</translation>
    </message>
    <message>
        <source>(.pst) files          -     (Supported by MS Outlook, Outlook 2011 for Mac)</source>
        <translation>(.pst)-Dateien   -   (für MS Outlook, Outlook 2011 für Mac)</translation>
    </message>
    <message>
        <source>(.msg) files         -     (Supported by MS Outlook, Document Management Software, Forensic Tools)</source>
        <translation>(.msg)-Dateien   -   (für MS Outlook, Dokumentenverwaltung, Forensik-Werkzeuge)</translation>
    </message>
    <message>
        <source>Create Single Outlook PST file for All files</source>
        <translation>Eine einzige Outlook-PST-Datei für alle Dateien erstellen</translation>
    </message>
    <message>
        <source>Sort messages into folders by their labels</source>
        <translation>Nachrichten nach Labels in Ordner sortieren</translation>
    </message>
    <message>
        <source>Label map...</source>
        <translation>Zuordnung...</translation>
    </message>
    <message>
        <source>Converting Messages...</source>
        <translation>Umwandlung...</translation>
    </message>
    <message>
        <source>Mailbox  0 (of 0)</source>
        <translation>Postfach  0 (von 0)</translation>
    </message>
    <message>
        <source>Reading          :</source>
        <translation>Lese          :</translation>
    </message>
    <message>
        <source>Saving :</source>
        <translation>Speichern :</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Umwandeln</translation>
    </message>
    <message>
        <source>&amp;Help Manual</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Selecting this option will allow you to create a single PST file for all MBOX files</source>
        <translation>Mit dieser Option entsteht eine einzige PST-Datei für alle MBOX-Dateien</translation>
    </message>
    <message>
        <source>Each message goes to the folder its labels choose and keeps its unread and starred state</source>
        <translation>Jede Nachricht kommt in den Ordner, den ihre Labels bestimmen, und behält ihren Status ungelesen und markiert</translation>
    </message>
    <message>
        <source>A file of your own that says what labels mean, one line each: label = Inbox, Sent Items, Drafts, Deleted Items, Junk Email, unread, starred, ignore or a folder path</source>
        <translation>Eine eigene Datei, die sagt, was Labels bedeuten, eine Zeile je Label: Label = Inbox, Sent Items, Drafts, Deleted Items, Junk Email, unread, starred, ignore oder ein Ordnerpfad</translation>
    </message>
    <message>
        <source>Please select a option to convert file(s).</source>
        <translation>Bitte wählen Sie, wohin umgewandelt werden soll.</translation>
    </message>
    <message>
        <source>Choose Folder to Save...</source>
        <translation>Zielordner wählen...</translation>
    </message>
    <message>
        <source>Mailbox %1 (of %2) </source>
        <translation>Postfach %1 (von %2) </translation>
    </message>
    <message>
        <source>Saved %1 Email Messages...</source>
        <translation>%1 Nachrichten gespeichert...</translation>
    </message>
    <message>
        <source>Are you sure you want to exit now?</source>
        <translation>Möchten Sie das Programm jetzt beenden?</translation>
    </message>
    <message>
        <source>A conversion is running. Stop it and exit?</source>
        <translation>Eine Umwandlung läuft. Anhalten und beenden?</translation>
    </message>
    <message>
        <source>The label map cannot be used:</source>
        <translation>Die Label-Zuordnung kann nicht verwendet werden:</translation>
    </message>
    <message>
        <source>Label maps (*.txt);;All files (*)</source>
        <translation>Label-Zuordnungen (*.txt);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Sort without the label map %1?</source>
        <translation>Ohne die Label-Zuordnung %1 sortieren?</translation>
    </message>
    <message>
        <source>Label map in use: %1</source>
        <translation>Verwendete Label-Zuordnung: %1</translation>
    </message>
    <message>
        <source>%1 already there</source>
        <translation>%1 schon vorhanden</translation>
    </message>
    <message>
        <source>%1 converted</source>
        <translation>%1 umgewandelt</translation>
    </message>
    <message>
        <source>%1 not converted</source>
        <translation>%1 nicht umgewandelt</translation>
    </message>
    <message>
        <source>failed: %1</source>
        <translation>fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>not reached</source>
        <translation>nicht erreicht</translation>
    </message>
    <message>
        <source>nothing in it</source>
        <translation>nichts darin</translation>
    </message>
    <message>
        <source>passed over</source>
        <translation>übergangen</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>Ordner öffnen</translation>
    </message>
    <message>
        <source>Save report...</source>
        <translation>Bericht speichern...</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV-Dateien (*.csv)</translation>
    </message>
    <message>
        <source>The report could not be saved: %1</source>
        <translation>Der Bericht konnte nicht gespeichert werden: %1</translation>
    </message>
    <message>
        <source>Brimvault Converter Help</source>
        <translation>Brimvault Converter Hilfe</translation>
    </message>
    <message>
        <source>A store larger than 50 GB is written in parts. Microsoft 365's PST import skips items over 150 MB (each is converted with a warning) and recommends stores of at most 20 GB: for it, convert with brimvault-convert --max-pst-size 20G</source>
        <translation>Ein Speicher über 50 GB wird in Teilen geschrieben. Der PST-Import von Microsoft 365 überspringt Elemente über 150 MB (jedes wird mit einer Warnung umgewandelt) und empfiehlt Speicher von höchstens 20 GB: dafür mit brimvault-convert --max-pst-size 20G umwandeln</translation>
    </message>
</context>
<context>
    <name>filelist</name>
    <message>
        <source>Searching the folder: %1 files found (Esc stops)</source>
        <translation>Ordner wird durchsucht: %1 Dateien gefunden (Esc hält an)</translation>
    </message>
    <message>
        <source>Do you want to clear all the files in the list&#xd;
 Proceed?</source>
        <translation>Alle Dateien aus der Liste entfernen?&#xd;
 Fortfahren?</translation>
    </message>
    <message>
        <source>%1 files</source>
        <translation>%1 Dateien</translation>
    </message>
    <message>
        <source>Please select only %1 files at a time</source>
        <translation>Bitte höchstens %1 Dateien auf einmal wählen</translation>
    </message>
    <message>
        <source>Brimvault Files (*.*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</source>
        <translation>Brimvault-Dateien (*.*);;MBOX-Dateien (*.mbox *.mbx);;Kontakte und Kalender (*.vcf *.ics);;Archive (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</translation>
    </message>
    <message>
        <source>Brimvault Files (*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</source>
        <translation>Brimvault-Dateien (*);;MBOX-Dateien (*.mbox *.mbx);;Kontakte und Kalender (*.vcf *.ics);;Archive (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</translation>
    </message>
    <message>
        <source>Choose Source Folder...</source>
        <translation>Quellordner wählen...</translation>
    </message>
    <message>
        <source>The folder %1 could not be read; the files found before it were added.</source>
        <translation>Der Ordner %1 konnte nicht gelesen werden; die zuvor gefundenen Dateien wurden hinzugefügt.</translation>
    </message>
    <message>
        <source>%1 Files Added to List.</source>
        <translation>%1 Dateien zur Liste hinzugefügt.</translation>
    </message>
    <message>
        <source>Already in the list: %1.</source>
        <translation>Bereits in der Liste: %1.</translation>
    </message>
</context>
<context>
    <name>Prompts</name>
    <message>
        <source>... (the rest is in the details)</source>
        <translation>... (der Rest steht in den Details)</translation>
    </message>
</context>
<context>
    <name>Completion</name>
    <message>
        <source>Your messages from Brimvault files has been successfully exported to Outlook (.pst) file.</source>
        <translation>Ihre Nachrichten aus den Brimvault-Dateien wurden erfolgreich in eine Outlook-Datei (.pst) exportiert.</translation>
    </message>
    <message>
        <source>Start Outlook and open converted pst file by clicking File -&gt; Open -&gt; Outlook Data File. And it all done !</source>
        <translation>Starten Sie Outlook und öffnen Sie die umgewandelte PST-Datei über Datei -&gt; Öffnen -&gt; Outlook-Datendatei. Fertig!</translation>
    </message>
    <message>
        <source>Your messages from Brimvault files has been successfully exported.</source>
        <translation>Ihre Nachrichten aus den Brimvault-Dateien wurden erfolgreich exportiert.</translation>
    </message>
    <message>
        <source>The conversion finished with problems.</source>
        <translation>Die Umwandlung ist mit Problemen beendet.</translation>
    </message>
    <message>
        <source>What failed:</source>
        <translation>Fehlgeschlagen:</translation>
    </message>
    <message>
        <source>Converted with warnings:</source>
        <translation>Mit Warnungen umgewandelt:</translation>
    </message>
    <message>
        <source>Passed over:</source>
        <translation>Übergangen:</translation>
    </message>
    <message>
        <source>Messages per folder:</source>
        <translation>Nachrichten je Ordner:</translation>
    </message>
    <message>
        <source>Nothing to convert: there is no mailbox among the listed files.</source>
        <translation>Nichts umzuwandeln: Unter den Dateien der Liste ist kein Postfach.</translation>
    </message>
    <message>
        <source>The conversion stopped there; the mailboxes converted before it keep their output.</source>
        <translation>Die Umwandlung hat dort angehalten; die zuvor umgewandelten Postfächer behalten ihre Ausgabe.</translation>
    </message>
    <message>
        <source>Converted: %1 mailboxes, %2 messages.</source>
        <translation>Umgewandelt: %1 Postfächer, %2 Nachrichten.</translation>
    </message>
    <message>
        <source>Converted: %1 of %2 mailboxes, %3 messages.</source>
        <translation>Umgewandelt: %1 von %2 Postfächern, %3 Nachrichten.</translation>
    </message>
    <message>
        <source>Converted: %1 mailboxes, %2 messages; %3 contacts and calendar files, %4 contacts, events and tasks.</source>
        <translation>Umgewandelt: %1 Postfächer, %2 Nachrichten; %3 Kontakt- und Kalenderdateien, %4 Kontakte, Termine und Aufgaben.</translation>
    </message>
    <message>
        <source>Converted: %1 of %2 mailboxes, %3 messages; %4 of %5 contacts and calendar files, %6 contacts, events and tasks.</source>
        <translation>Umgewandelt: %1 von %2 Postfächern, %3 Nachrichten; %4 von %5 Kontakt- und Kalenderdateien, %6 Kontakte, Termine und Aufgaben.</translation>
    </message>
    <message>
        <source>Messages not converted: %1.</source>
        <translation>Nicht umgewandelte Nachrichten: %1.</translation>
    </message>
    <message>
        <source>Contacts, events and tasks not converted: %1.</source>
        <translation>Nicht umgewandelte Kontakte, Termine und Aufgaben: %1.</translation>
    </message>
    <message>
        <source>The disk is full: the run ended there; the rest of the file in hand was not read.</source>
        <translation>Der Datenträger ist voll: die Umwandlung endete dort; der Rest der gerade gelesenen Datei wurde nicht gelesen.</translation>
    </message>
    <message>
        <source>The disk is full: the run ended there; the rest of the file in hand was not read, nor %1 more listed files.</source>
        <translation>Der Datenträger ist voll: die Umwandlung endete dort; der Rest der gerade gelesenen Datei wurde nicht gelesen, ebenso wenig %1 weitere aufgeführte Dateien.</translation>
    </message>
    <message>
        <source>The run was stopped; the rest of the file in hand was not read.</source>
        <translation>Die Umwandlung wurde angehalten; der Rest der gerade gelesenen Datei wurde nicht gelesen.</translation>
    </message>
    <message>
        <source>The run was stopped; the rest of the file in hand was not read, nor %1 more listed files.</source>
        <translation>Die Umwandlung wurde angehalten; der Rest der gerade gelesenen Datei wurde nicht gelesen, ebenso wenig %1 weitere aufgeführte Dateien.</translation>
    </message>
    <message>
        <source>Every message (%1) was already there: nothing needed to be added.</source>
        <translation>Jede Nachricht (%1) war schon vorhanden: es war nichts hinzuzufügen.</translation>
    </message>
    <message>
        <source>Already there, so not added again: %1 messages.</source>
        <translation>Schon vorhanden, daher nicht erneut hinzugefügt: %1 Nachrichten.</translation>
    </message>
    <message>
        <source>Already there, so not added again: %1 messages, %2 contacts, events and tasks.</source>
        <translation>Schon vorhanden, daher nicht erneut hinzugefügt: %1 Nachrichten, %2 Kontakte, Termine und Aufgaben.</translation>
    </message>
    <message>
        <source>Messages were added to the store of an earlier run: %1</source>
        <translation>Die Nachrichten wurden dem Speicher eines früheren Laufs hinzugefügt: %1</translation>
    </message>
    <message>
        <source>Store: %1</source>
        <translation>Speicher: %1</translation>
    </message>
    <message>
        <source>Stores: %1 .pst files, one per mailbox.</source>
        <translation>Speicher: %1 PST-Dateien, eine je Postfach.</translation>
    </message>
    <message>
        <source>Stores: %1 .pst files, one per mailbox; messages were added to %2 of them, made by an earlier run.</source>
        <translation>Speicher: %1 PST-Dateien, eine je Postfach; zu %2 davon, von einem früheren Lauf angelegt, wurden Nachrichten hinzugefügt.</translation>
    </message>
    <message>
        <source>Destination: %1</source>
        <translation>Ziel: %1</translation>
    </message>
    <message>
        <source>... and %1 more.</source>
        <translation>... und %1 weitere.</translation>
    </message>
    <message>
        <source>Stores larger than the size limit were written in parts:</source>
        <translation>Speicher über der Größengrenze wurden in Teilen geschrieben:</translation>
    </message>
    <message>
        <source>read back: %1 items in %2 folders, as written</source>
        <translation>zurückgelesen: %1 Elemente in %2 Ordnern, wie geschrieben</translation>
    </message>
    <message>
        <source>read back: %1 items in %2 folders; differs from what was written:</source>
        <translation>zurückgelesen: %1 Elemente in %2 Ordnern; weicht vom Geschriebenen ab:</translation>
    </message>
</context>
<context>
    <name>FileListGrid</name>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Ergebnis</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
</context>
</TS>
