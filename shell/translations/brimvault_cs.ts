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
</context>
</TS>
