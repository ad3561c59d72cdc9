<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="nl" sourcelanguage="en">
<context>
    <name>frmStep1</name>
    <message>
        <source>Brimvault Converter</source>
        <translation>Brimvault Converter</translation>
    </message>
    <message>
        <source>Converts Brimvault MBOX backups to EML, EMLX, MSG and PST files</source>
        <translation>Zet Brimvault-MBOX-back-ups om naar EML-, EMLX-, MSG- en PST-bestanden</translation>
    </message>
    <message>
        <source>Select Brimvault file(s)...</source>
        <translation>Brimvault-bestand(en) kiezen...</translation>
    </message>
    <message>
        <source>Select folder having brimvault file(s)...</source>
        <translation>Map met Brimvault-bestanden kiezen...</translation>
    </message>
    <message>
        <source>Clear file(s)...</source>
        <translation>Lijst wissen...</translation>
    </message>
    <message>
        <source>0 files</source>
        <translation>0 bestanden</translation>
    </message>
    <message>
        <source> I want to convert brimvault messages to...</source>
        <translation> Brimvault-berichten omzetten naar...</translation>
    </message>
    <message>
        <source>(.eml) files          -     (Supported by Outlook Express, Windows Mail, Windows Live Mail)</source>
        <translation>(.eml)-bestanden   -   (Outlook Express, Windows Mail, Windows Live Mail)</translation>
    </message>
    <message>
        <source>(.emlx) files        -     (Supported by Mac OS X Tiger Mail)</source>
        <translation>(.emlx)-bestanden   -   (Mail van Mac OS X Tiger)</translation>
    </message>
    <message>
        <source>(.pst) files          -     (Supported by MS Outlook, Outlook 2011 for Mac)</source>
        <translation>(.pst)-bestanden   -   (MS Outlook, Outlook 2011 voor Mac)</translation>
    </message>
    <message>
        <source>(.msg) files         -     (Supported by MS Outlook, Document Management Software, Forensic Tools)</source>
        <translation>(.msg)-bestanden   -   (MS Outlook, documentbeheer, forensische hulpmiddelen)</translation>
    </message>
    <message>
        <source>Create Single Outlook PST file for All files</source>
        <translation>Eén Outlook-PST-bestand maken voor alle bestanden</translation>
    </message>
    <message>
        <source>Sort messages into folders by their labels</source>
        <translation>Berichten per label in mappen sorteren</translation>
    </message>
    <message>
        <source>Label map...</source>
        <translation>Labelkaart...</translation>
    </message>
    <message>
        <source>Converting Messages...</source>
        <translation>Omzetten...</translation>
    </message>
    <message>
        <source>Mailbox  0 (of 0)</source>
        <translation>Postvak  0 (van 0)</translation>
    </message>
    <message>
        <source>Reading          :</source>
        <translation>Lezen          :</translation>
    </message>
    <message>
        <source>Saving :</source>
        <translation>Opslaan :</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Omzetten</translation>
    </message>
    <message>
        <source>&amp;Help Manual</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Afsluiten</translation>
    </message>
    <message>
        <source>Selecting this option will allow you to create a single PST file for all MBOX files</source>
        <translation>Met deze optie ontstaat één PST-bestand voor alle MBOX-bestanden</translation>
    </message>
    <message>
        <source>Each message goes to the folder its labels choose and keeps its unread and starred state</source>
        <translation>Elk bericht gaat naar de map die zijn labels kiezen en houdt zijn status ongelezen en met ster</translation>
    </message>
    <message>
        <source>A file of your own that says what labels mean, one line each: label = Inbox, Sent Items, Drafts, Deleted Items, Junk Email, unread, starred, ignore or a folder path</source>
        <translation>Een eigen bestand dat zegt wat labels betekenen, één regel per label: label = Inbox, Sent Items, Drafts, Deleted Items, Junk Email, unread, starred, ignore of een mappad</translation>
    </message>
    <message>
        <source>Please select a option to convert file(s).</source>
        <translation>Kies een formaat om naar om te zetten.</translation>
    </message>
    <message>
        <source>Choose Folder to Save...</source>
        <translation>Doelmap kiezen...</translation>
    </message>
    <message>
        <source>Mailbox %1 (of %2) </source>
        <translation>Postvak %1 (van %2) </translation>
    </message>
    <message>
        <source>Saved %1 Email Messages...</source>
        <translation>%1 berichten opgeslagen...</translation>
    </message>
    <message>
        <source>Are you sure you want to exit now?</source>
        <translation>Weet u zeker dat u nu wilt afsluiten?</translation>
    </message>
    <message>
        <source>A conversion is running. Stop it and exit?</source>
        <translation>Er loopt een omzetting. Stoppen en afsluiten?</translation>
    </message>
    <message>
        <source>The label map cannot be used:</source>
        <translation>De labelkaart kan niet worden gebruikt:</translation>
    </message>
    <message>
        <source>Label maps (*.txt);;All files (*)</source>
        <translation>Labelkaarten (*.txt);;Alle bestanden (*)</translation>
    </message>
    <message>
        <source>Sort without the label map %1?</source>
        <translation>Sorteren zonder de labelkaart %1?</translation>
    </message>
    <message>
        <source>Label map in use: %1</source>
        <translation>Gebruikte labelkaart: %1</translation>
    </message>
</context>
<context>
    <name>filelist</name>
    <message>
        <source>Searching the folder: %1 files found (Esc stops)</source>
        <translation>Map doorzoeken: %1 bestanden gevonden (Esc stopt)</translation>
    </message>
    <message>
        <source>Do you want to clear all the files in the list&#xd;
 Proceed?</source>
        <translation>Alle bestanden uit de lijst verwijderen?&#xd;
 Doorgaan?</translation>
    </message>
    <message>
        <source>%1 files</source>
        <translation>%1 bestanden</translation>
    </message>
    <message>
        <source>Please select only %1 files at a time</source>
        <translation>Kies maximaal %1 bestanden tegelijk</translation>
    </message>
    <message>
        <source>Brimvault Files (*.*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</source>
        <translation>Brimvault-bestanden (*.*);;MBOX-bestanden (*.mbox *.mbx);;Contacten en agenda's (*.vcf *.ics);;Archieven (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</translation>
    </message>
    <message>
        <source>Brimvault Files (*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</source>
        <translation>Brimvault-bestanden (*);;MBOX-bestanden (*.mbox *.mbx);;Contacten en agenda's (*.vcf *.ics);;Archieven (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</translation>
    </message>
    <message>
        <source>Choose Source Folder...</source>
        <translation>Bronmap kiezen...</translation>
    </message>
    <message>
        <source>The folder %1 could not be read; the files found before it were added.</source>
        <translation>De map %1 kon niet worden gelezen; de eerder gevonden bestanden zijn toegevoegd.</translation>
    </message>
    <message>
        <source>%1 Files Added to List.</source>
        <translation>%1 bestanden aan de lijst toegevoegd.</translation>
    </message>
    <message>
        <source>Already in the list: %1.</source>
        <translation>Al in de lijst: %1.</translation>
    </message>
</context>
<context>
    <name>Prompts</name>
    <message>
        <source>... (the rest is in the details)</source>
        <translation>... (de rest staat in de details)</translation>
    </message>
</context>
<context>
    <name>Completion</name>
    <message>
        <source>Your messages from Brimvault files has been successfully exported to Outlook (.pst) file.</source>
        <translation>Uw berichten uit de Brimvault-bestanden zijn met succes geëxporteerd naar een Outlook-bestand (.pst).</translation>
    </message>
    <message>
        <source>Start Outlook and open converted pst file by clicking File -&gt; Open -&gt; Outlook Data File. And it all done !</source>
        <translation>Start Outlook en open het omgezette PST-bestand via Bestand -&gt; Openen -&gt; Outlook-gegevensbestand. Klaar!</translation>
    </message>
    <message>
        <source>Your messages from Brimvault files has been successfully exported.</source>
        <translation>Uw berichten uit de Brimvault-bestanden zijn met succes geëxporteerd.</translation>
    </message>
    <message>
        <source>The conversion finished with problems.</source>
        <translation>De omzetting is met problemen beëindigd.</translation>
    </message>
    <message>
        <source>What failed:</source>
        <translation>Mislukt:</translation>
    </message>
    <message>
        <source>Converted with warnings:</source>
        <translation>Omgezet met waarschuwingen:</translation>
    </message>
    <message>
        <source>Passed over:</source>
        <translation>Overgeslagen:</translation>
    </message>
    <message>
        <source>Messages per folder:</source>
        <translation>Berichten per map:</translation>
    </message>
    <message>
        <source>Nothing to convert: there is no mailbox among the listed files.</source>
        <translation>Niets om te zetten: geen van de bestanden in de lijst is een postvak.</translation>
    </message>
    <message>
        <source>The conversion stopped there; the mailboxes converted before it keep their output.</source>
        <translation>De omzetting is daar gestopt; de eerder omgezette postvakken behouden hun uitvoer.</translation>
    </message>
</context>
</TS>
