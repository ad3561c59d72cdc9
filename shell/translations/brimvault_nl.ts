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
    <message>
        <source>%1 already there</source>
        <translation>%1 al aanwezig</translation>
    </message>
    <message>
        <source>%1 converted</source>
        <translation>%1 omgezet</translation>
    </message>
    <message>
        <source>%1 not converted</source>
        <translation>%1 niet omgezet</translation>
    </message>
    <message>
        <source>failed: %1</source>
        <translation>mislukt: %1</translation>
    </message>
    <message>
        <source>not reached</source>
        <translation>niet bereikt</translation>
    </message>
    <message>
        <source>nothing in it</source>
        <translation>niets in</translation>
    </message>
    <message>
        <source>passed over</source>
        <translation>overgeslagen</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>Map openen</translation>
    </message>
    <message>
        <source>Save report...</source>
        <translation>Rapport opslaan...</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV-bestanden (*.csv)</translation>
    </message>
    <message>
        <source>The report could not be saved: %1</source>
        <translation>Het rapport kon niet worden opgeslagen: %1</translation>
    </message>
    <message>
        <source>Brimvault Converter Help</source>
        <translation>Brimvault Converter Help</translation>
    </message>
    <message>
        <source>A store larger than 50 GB is written in parts. Microsoft 365's PST import skips items over 150 MB (each is converted with a warning) and recommends stores of at most 20 GB: for it, convert with brimvault-convert --max-pst-size 20G</source>
        <translation>Een archief groter dan 50 GB wordt in delen geschreven. De PST-import van Microsoft 365 slaat items boven 150 MB over (elk wordt met een waarschuwing omgezet) en raadt archieven van hooguit 20 GB aan: zet daarvoor om met brimvault-convert --max-pst-size 20G</translation>
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
    <message>
        <source>Converted: %1 mailboxes, %2 messages.</source>
        <translation>Omgezet: %1 postvakken, %2 berichten.</translation>
    </message>
    <message>
        <source>Converted: %1 of %2 mailboxes, %3 messages.</source>
        <translation>Omgezet: %1 van %2 postvakken, %3 berichten.</translation>
    </message>
    <message>
        <source>Converted: %1 mailboxes, %2 messages; %3 contacts and calendar files, %4 contacts, events and tasks.</source>
        <translation>Omgezet: %1 postvakken, %2 berichten; %3 contact- en agendabestanden, %4 contactpersonen, afspraken en taken.</translation>
    </message>
    <message>
        <source>Converted: %1 of %2 mailboxes, %3 messages; %4 of %5 contacts and calendar files, %6 contacts, events and tasks.</source>
        <translation>Omgezet: %1 van %2 postvakken, %3 berichten; %4 van %5 contact- en agendabestanden, %6 contactpersonen, afspraken en taken.</translation>
    </message>
    <message>
        <source>Messages not converted: %1.</source>
        <translation>Niet omgezette berichten: %1.</translation>
    </message>
    <message>
        <source>Contacts, events and tasks not converted: %1.</source>
        <translation>Niet omgezette contactpersonen, afspraken en taken: %1.</translation>
    </message>
    <message>
        <source>The disk is full: the run ended there; the rest of the file in hand was not read.</source>
        <translation>De schijf is vol: de omzetting is daar gestopt; de rest van het bestand dat werd gelezen is niet gelezen.</translation>
    </message>
    <message>
        <source>The disk is full: the run ended there; the rest of the file in hand was not read, nor %1 more listed files.</source>
        <translation>De schijf is vol: de omzetting is daar gestopt; de rest van het bestand dat werd gelezen is niet gelezen, evenmin %1 andere bestanden uit de lijst.</translation>
    </message>
    <message>
        <source>The run was stopped; the rest of the file in hand was not read.</source>
        <translation>De omzetting is gestopt; de rest van het bestand dat werd gelezen is niet gelezen.</translation>
    </message>
    <message>
        <source>The run was stopped; the rest of the file in hand was not read, nor %1 more listed files.</source>
        <translation>De omzetting is gestopt; de rest van het bestand dat werd gelezen is niet gelezen, evenmin %1 andere bestanden uit de lijst.</translation>
    </message>
    <message>
        <source>Every message (%1) was already there: nothing needed to be added.</source>
        <translation>Elk bericht (%1) was al aanwezig: er hoefde niets te worden toegevoegd.</translation>
    </message>
    <message>
        <source>Already there, so not added again: %1 messages.</source>
        <translation>Al aanwezig, dus niet opnieuw toegevoegd: %1 berichten.</translation>
    </message>
    <message>
        <source>Already there, so not added again: %1 messages, %2 contacts, events and tasks.</source>
        <translation>Al aanwezig, dus niet opnieuw toegevoegd: %1 berichten, %2 contactpersonen, afspraken en taken.</translation>
    </message>
    <message>
        <source>Messages were added to the store of an earlier run: %1</source>
        <translation>De berichten zijn toegevoegd aan het archief van een eerdere omzetting: %1</translation>
    </message>
    <message>
        <source>Store: %1</source>
        <translation>Archief: %1</translation>
    </message>
    <message>
        <source>Stores: %1 .pst files, one per mailbox.</source>
        <translation>Archieven: %1 .pst-bestanden, één per postvak.</translation>
    </message>
    <message>
        <source>Stores: %1 .pst files, one per mailbox; messages were added to %2 of them, made by an earlier run.</source>
        <translation>Archieven: %1 .pst-bestanden, één per postvak; aan %2 ervan, gemaakt door een eerdere omzetting, zijn berichten toegevoegd.</translation>
    </message>
    <message>
        <source>Destination: %1</source>
        <translation>Doel: %1</translation>
    </message>
    <message>
        <source>... and %1 more.</source>
        <translation>... en nog %1.</translation>
    </message>
    <message>
        <source>Stores larger than the size limit were written in parts:</source>
        <translation>Archieven groter dan de groottegrens zijn in delen geschreven:</translation>
    </message>
    <message>
        <source>read back: %1 items in %2 folders, as written</source>
        <translation>teruggelezen: %1 items in %2 mappen, zoals geschreven</translation>
    </message>
    <message>
        <source>read back: %1 items in %2 folders; differs from what was written:</source>
        <translation>teruggelezen: %1 items in %2 mappen; wijkt af van wat is geschreven:</translation>
    </message>
</context>
<context>
    <name>FileListGrid</name>
    <message>
        <source>File</source>
        <translation>Bestand</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Resultaat</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Grootte</translation>
    </message>
</context>
</TS>
