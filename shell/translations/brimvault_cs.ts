<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="cs" sourcelanguage="en">
<context>
    <name>frmStep1</name>
    <message>
        <source>Brimvault Converter</source>
        <translation>Brimvault Converter</translation>
    </message>
    <message>
        <source>Converts Brimvault MBOX backups to EML, EMLX, MSG and PST files</source>
        <translation>Převádí zálohy MBOX ze služby Brimvault na soubory EML, EMLX, MSG a PST</translation>
    </message>
    <message>
        <source>Select Brimvault file(s)...</source>
        <translation>Vybrat soubory Brimvault...</translation>
    </message>
    <message>
        <source>Select folder having brimvault file(s)...</source>
        <translation>Vybrat složku se soubory Brimvault...</translation>
    </message>
    <message>
        <source>Clear file(s)...</source>
        <translation>Vymazat...</translation>
    </message>
    <message>
        <source>0 files</source>
        <translation>Souborů: 0</translation>
    </message>
    <message>
        <source> I want to convert brimvault messages to...</source>
        <translation> Chci převést zprávy Brimvault na...</translation>
    </message>
    <message>
        <source>(.eml) files          -     (Supported by Outlook Express, Windows Mail, Windows Live Mail)</source>
        <translation>Soubory (.eml)   -   (Outlook Express, Pošta Windows, Windows Live Mail)</translation>
    </message>
    <message>
        <source>(.emlx) files        -     (Supported by Mac OS X Tiger Mail)</source>
        <translation>Soubory (.emlx)   -   (Mail v Mac OS X Tiger)</translation>
    </message>
    <message>
        <source>(.pst) files          -     (Supported by MS Outlook, Outlook 2011 for Mac)</source>
        <translation>Soubory (.pst)   -   (MS Outlook, Outlook 2011 pro Mac)</translation>
    </message>
    <message>
        <source>(.msg) files         -     (Supported by MS Outlook, Document Management Software, Forensic Tools)</source>
        <translation>Soubory (.msg)   -   (MS Outlook, správa dokumentů, forenzní nástroje)</translation>
    </message>
    <message>
        <source>Create Single Outlook PST file for All files</source>
        <translation>Vytvořit jeden soubor PST aplikace Outlook pro všechny soubory</translation>
    </message>
    <message>
        <source>Sort messages into folders by their labels</source>
        <translation>Roztřídit zprávy do složek podle štítků</translation>
    </message>
    <message>
        <source>Label map...</source>
        <translation>Mapa štítků...</translation>
    </message>
    <message>
        <source>Converting Messages...</source>
        <translation>Převádění zpráv...</translation>
    </message>
    <message>
        <source>Mailbox  0 (of 0)</source>
        <translation>Schránka  0 (z 0)</translation>
    </message>
    <message>
        <source>Reading          :</source>
        <translation>Čtení          :</translation>
    </message>
    <message>
        <source>Saving :</source>
        <translation>Ukládání :</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Převést</translation>
    </message>
    <message>
        <source>&amp;Help Manual</source>
        <translation>Nápo&amp;věda</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Konec</translation>
    </message>
    <message>
        <source>Selecting this option will allow you to create a single PST file for all MBOX files</source>
        <translation>Tato volba vytvoří jeden soubor PST pro všechny soubory MBOX</translation>
    </message>
    <message>
        <source>Each message goes to the folder its labels choose and keeps its unread and starred state</source>
        <translation>Každá zpráva přijde do složky, kterou určí její štítky, a zachová si stav nepřečtená a s hvězdičkou</translation>
    </message>
    <message>
        <source>A file of your own that says what labels mean, one line each: label = Inbox, Sent Items, Drafts, Deleted Items, Junk Email, unread, starred, ignore or a folder path</source>
        <translation>Vlastní soubor, který říká, co štítky znamenají, jeden řádek na štítek: štítek = Inbox, Sent Items, Drafts, Deleted Items, Junk Email, unread, starred, ignore nebo cesta ke složce</translation>
    </message>
    <message>
        <source>Please select a option to convert file(s).</source>
        <translation>Vyberte formát, na který převést.</translation>
    </message>
    <message>
        <source>Choose Folder to Save...</source>
        <translation>Vyberte cílovou složku...</translation>
    </message>
    <message>
        <source>Mailbox %1 (of %2) </source>
        <translation>Schránka %1 (z %2) </translation>
    </message>
    <message>
        <source>Saved %1 Email Messages...</source>
        <translation>Uloženo zpráv: %1...</translation>
    </message>
    <message>
        <source>Are you sure you want to exit now?</source>
        <translation>Opravdu chcete program nyní ukončit?</translation>
    </message>
    <message>
        <source>A conversion is running. Stop it and exit?</source>
        <translation>Probíhá převod. Zastavit ho a ukončit?</translation>
    </message>
    <message>
        <source>The label map cannot be used:</source>
        <translation>Mapu štítků nelze použít:</translation>
    </message>
    <message>
        <source>Label maps (*.txt);;All files (*)</source>
        <translation>Mapy štítků (*.txt);;Všechny soubory (*)</translation>
    </message>
    <message>
        <source>Sort without the label map %1?</source>
        <translation>Třídit bez mapy štítků %1?</translation>
    </message>
    <message>
        <source>Label map in use: %1</source>
        <translation>Používaná mapa štítků: %1</translation>
    </message>
    <message>
        <source>%1 already there</source>
        <translation>již existuje: %1</translation>
    </message>
    <message>
        <source>%1 converted</source>
        <translation>převedeno: %1</translation>
    </message>
    <message>
        <source>%1 not converted</source>
        <translation>nepřevedeno: %1</translation>
    </message>
    <message>
        <source>failed: %1</source>
        <translation>selhalo: %1</translation>
    </message>
    <message>
        <source>not reached</source>
        <translation>nedosaženo</translation>
    </message>
    <message>
        <source>nothing in it</source>
        <translation>nic v něm</translation>
    </message>
    <message>
        <source>passed over</source>
        <translation>přeskočeno</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>Otevřít složku</translation>
    </message>
    <message>
        <source>Save report...</source>
        <translation>Uložit zprávu...</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>Soubory CSV (*.csv)</translation>
    </message>
    <message>
        <source>The report could not be saved: %1</source>
        <translation>Zprávu nelze uložit: %1</translation>
    </message>
    <message>
        <source>Brimvault Converter Help</source>
        <translation>Nápověda Brimvault Converter</translation>
    </message>
    <message>
        <source>A store larger than 50 GB is written in parts. Microsoft 365's PST import skips items over 150 MB (each is converted with a warning) and recommends stores of at most 20 GB: for it, convert with brimvault-convert --max-pst-size 20G</source>
        <translation>Úložiště větší než 50 GB se zapisuje po částech. Import PST v Microsoft 365 přeskakuje položky nad 150 MB (každá je převedena s varováním) a doporučuje úložiště nejvýše 20 GB: pro něj převádějte pomocí brimvault-convert --max-pst-size 20G</translation>
    </message>
</context>
<context>
    <name>filelist</name>
    <message>
        <source>Searching the folder: %1 files found (Esc stops)</source>
        <translation>Prohledávání složky: nalezeno souborů: %1 (Esc zastaví)</translation>
    </message>
    <message>
        <source>Do you want to clear all the files in the list&#xd;
 Proceed?</source>
        <translation>Odebrat všechny soubory ze seznamu?&#xd;
 Pokračovat?</translation>
    </message>
    <message>
        <source>%1 files</source>
        <translation>Souborů: %1</translation>
    </message>
    <message>
        <source>Please select only %1 files at a time</source>
        <translation>Vyberte nejvýše %1 souborů najednou</translation>
    </message>
    <message>
        <source>Brimvault Files (*.*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</source>
        <translation>Soubory Brimvault (*.*);;Soubory MBOX (*.mbox *.mbx);;Kontakty a kalendáře (*.vcf *.ics);;Archivy (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</translation>
    </message>
    <message>
        <source>Brimvault Files (*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</source>
        <translation>Soubory Brimvault (*);;Soubory MBOX (*.mbox *.mbx);;Kontakty a kalendáře (*.vcf *.ics);;Archivy (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</translation>
    </message>
    <message>
        <source>Choose Source Folder...</source>
        <translation>Vyberte zdrojovou složku...</translation>
    </message>
    <message>
        <source>The folder %1 could not be read; the files found before it were added.</source>
        <translation>Složku %1 nelze přečíst; soubory nalezené před ní byly přidány.</translation>
    </message>
    <message>
        <source>%1 Files Added to List.</source>
        <translation>Do seznamu přidáno souborů: %1.</translation>
    </message>
    <message>
        <source>Already in the list: %1.</source>
        <translation>Již v seznamu: %1.</translation>
    </message>
</context>
<context>
    <name>Prompts</name>
    <message>
        <source>... (the rest is in the details)</source>
        <translation>... (zbytek je v podrobnostech)</translation>
    </message>
</context>
<context>
    <name>Completion</name>
    <message>
        <source>Your messages from Brimvault files has been successfully exported to Outlook (.pst) file.</source>
        <translation>Zprávy ze souborů Brimvault byly úspěšně exportovány do souboru aplikace Outlook (.pst).</translation>
    </message>
    <message>
        <source>Start Outlook and open converted pst file by clicking File -&gt; Open -&gt; Outlook Data File. And it all done !</source>
        <translation>Spusťte Outlook a otevřete převedený soubor PST přes Soubor -&gt; Otevřít -&gt; Datový soubor aplikace Outlook. Hotovo!</translation>
    </message>
    <message>
        <source>Your messages from Brimvault files has been successfully exported.</source>
        <translation>Zprávy ze souborů Brimvault byly úspěšně exportovány.</translation>
    </message>
    <message>
        <source>The conversion finished with problems.</source>
        <translation>Převod skončil s problémy.</translation>
    </message>
    <message>
        <source>What failed:</source>
        <translation>Co selhalo:</translation>
    </message>
    <message>
        <source>Converted with warnings:</source>
        <translation>Převedeno s varováními:</translation>
    </message>
    <message>
        <source>Passed over:</source>
        <translation>Přeskočeno:</translation>
    </message>
    <message>
        <source>Messages per folder:</source>
        <translation>Zprávy podle složek:</translation>
    </message>
    <message>
        <source>Nothing to convert: there is no mailbox among the listed files.</source>
        <translation>Není co převádět: žádný ze souborů v seznamu není poštovní schránka.</translation>
    </message>
    <message>
        <source>The conversion stopped there; the mailboxes converted before it keep their output.</source>
        <translation>Převod se tam zastavil; dříve převedené schránky si výstup ponechají.</translation>
    </message>
    <message>
        <source>Converted: %1 mailboxes, %2 messages.</source>
        <translation>Převedeno: schránky: %1, zprávy: %2.</translation>
    </message>
    <message>
        <source>Converted: %1 of %2 mailboxes, %3 messages.</source>
        <translation>Převedeno: schránky: %1 z %2, zprávy: %3.</translation>
    </message>
    <message>
        <source>Converted: %1 mailboxes, %2 messages; %3 contacts and calendar files, %4 contacts, events and tasks.</source>
        <translation>Převedeno: schránky: %1, zprávy: %2; soubory kontaktů a kalendářů: %3, kontakty, události a úkoly: %4.</translation>
    </message>
    <message>
        <source>Converted: %1 of %2 mailboxes, %3 messages; %4 of %5 contacts and calendar files, %6 contacts, events and tasks.</source>
        <translation>Převedeno: schránky: %1 z %2, zprávy: %3; soubory kontaktů a kalendářů: %4 z %5, kontakty, události a úkoly: %6.</translation>
    </message>
    <message>
        <source>Messages not converted: %1.</source>
        <translation>Nepřevedené zprávy: %1.</translation>
    </message>
    <message>
        <source>Contacts, events and tasks not converted: %1.</source>
        <translation>Nepřevedené kontakty, události a úkoly: %1.</translation>
    </message>
    <message>
        <source>The disk is full: the run ended there; the rest of the file in hand was not read.</source>
        <translation>Disk je plný: převod tam skončil; zbytek právě čteného souboru nebyl přečten.</translation>
    </message>
    <message>
        <source>The disk is full: the run ended there; the rest of the file in hand was not read, nor %1 more listed files.</source>
        <translation>Disk je plný: převod tam skončil; zbytek právě čteného souboru nebyl přečten, ani %1 dalších souborů ze seznamu.</translation>
    </message>
    <message>
        <source>The run was stopped; the rest of the file in hand was not read.</source>
        <translation>Převod byl zastaven; zbytek právě čteného souboru nebyl přečten.</translation>
    </message>
    <message>
        <source>The run was stopped; the rest of the file in hand was not read, nor %1 more listed files.</source>
        <translation>Převod byl zastaven; zbytek právě čteného souboru nebyl přečten, ani %1 dalších souborů ze seznamu.</translation>
    </message>
    <message>
        <source>Every message (%1) was already there: nothing needed to be added.</source>
        <translation>Každá zpráva (%1) už existovala: nebylo třeba nic přidávat.</translation>
    </message>
    <message>
        <source>Already there, so not added again: %1 messages.</source>
        <translation>Již existující, proto nepřidány znovu: zprávy: %1.</translation>
    </message>
    <message>
        <source>Already there, so not added again: %1 messages, %2 contacts, events and tasks.</source>
        <translation>Již existující, proto nepřidány znovu: zprávy: %1, kontakty, události a úkoly: %2.</translation>
    </message>
    <message>
        <source>Messages were added to the store of an earlier run: %1</source>
        <translation>Zprávy byly přidány do úložiště dřívějšího převodu: %1</translation>
    </message>
    <message>
        <source>Store: %1</source>
        <translation>Úložiště: %1</translation>
    </message>
    <message>
        <source>Stores: %1 .pst files, one per mailbox.</source>
        <translation>Úložiště: souborů .pst: %1, jeden na schránku.</translation>
    </message>
    <message>
        <source>Stores: %1 .pst files, one per mailbox; messages were added to %2 of them, made by an earlier run.</source>
        <translation>Úložiště: souborů .pst: %1, jeden na schránku; do %2 z nich, vytvořených dřívějším převodem, byly přidány zprávy.</translation>
    </message>
    <message>
        <source>Destination: %1</source>
        <translation>Cíl: %1</translation>
    </message>
    <message>
        <source>... and %1 more.</source>
        <translation>... a %1 dalších.</translation>
    </message>
    <message>
        <source>Stores larger than the size limit were written in parts:</source>
        <translation>Úložiště větší než limit velikosti byla zapsána po částech:</translation>
    </message>
    <message>
        <source>read back: %1 items in %2 folders, as written</source>
        <translation>přečteno zpět: položky: %1 ve složkách: %2, jak byly zapsány</translation>
    </message>
    <message>
        <source>read back: %1 items in %2 folders; differs from what was written:</source>
        <translation>přečteno zpět: položky: %1 ve složkách: %2; liší se od zapsaného:</translation>
    </message>
</context>
<context>
    <name>FileListGrid</name>
    <message>
        <source>File</source>
        <translation>Soubor</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Výsledek</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Velikost</translation>
    </message>
</context>
</TS>
