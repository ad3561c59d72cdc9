<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it" sourcelanguage="en">
<context>
    <name>frmStep1</name>
    <message>
        <source>Brimvault Converter</source>
        <translation>Brimvault Converter</translation>
    </message>
    <message>
        <source>Converts Brimvault MBOX backups to EML, EMLX, MSG and PST files</source>
        <translation>Converte i backup MBOX di Brimvault in file EML, EMLX, MSG e PST</translation>
    </message>
    <message>
        <source>Select Brimvault file(s)...</source>
        <translation>Scegli file Brimvault...</translation>
    </message>
    <message>
        <source>Select folder having brimvault file(s)...</source>
        <translation>Scegli cartella con file Brimvault...</translation>
    </message>
    <message>
        <source>Clear file(s)...</source>
        <translation>Svuota elenco...</translation>
    </message>
    <message>
        <source>0 files</source>
        <translation>0 file</translation>
    </message>
    <message>
        <source> I want to convert brimvault messages to...</source>
        <translation> Voglio convertire i messaggi Brimvault in...</translation>
    </message>
    <message>
        <source>(.eml) files          -     (Supported by Outlook Express, Windows Mail, Windows Live Mail)</source>
        <translation>File (.eml)   -   (Outlook Express, Windows Mail, Windows Live Mail)</translation>
    </message>
    <message>
        <source>(.emlx) files        -     (Supported by Mac OS X Tiger Mail)</source>
        <translation>File (.emlx)   -   (Mail di Mac OS X Tiger)</translation>
    </message>
    <message>
        <source>(.pst) files          -     (Supported by MS Outlook, Outlook 2011 for Mac)</source>
        <translation>File (.pst)   -   (MS Outlook, Outlook 2011 per Mac)</translation>
    </message>
    <message>
        <source>(.msg) files         -     (Supported by MS Outlook, Document Management Software, Forensic Tools)</source>
        <translation>File (.msg)   -   (MS Outlook, gestione documentale, strumenti forensi)</translation>
    </message>
    <message>
        <source>Create Single Outlook PST file for All files</source>
        <translation>Crea un unico file PST di Outlook per tutti i file</translation>
    </message>
    <message>
        <source>Sort messages into folders by their labels</source>
        <translation>Ordina i messaggi in cartelle per etichetta</translation>
    </message>
    <message>
        <source>Label map...</source>
        <translation>Etichette...</translation>
    </message>
    <message>
        <source>Converting Messages...</source>
        <translation>Conversione...</translation>
    </message>
    <message>
        <source>Mailbox  0 (of 0)</source>
        <translation>Casella  0 (di 0)</translation>
    </message>
    <message>
        <source>Reading          :</source>
        <translation>Lettura          :</translation>
    </message>
    <message>
        <source>Saving :</source>
        <translation>Salvataggio :</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Converti</translation>
    </message>
    <message>
        <source>&amp;Help Manual</source>
        <translation>&amp;Guida</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Esci</translation>
    </message>
    <message>
        <source>Selecting this option will allow you to create a single PST file for all MBOX files</source>
        <translation>Con questa opzione si crea un unico file PST per tutti i file MBOX</translation>
    </message>
    <message>
        <source>Each message goes to the folder its labels choose and keeps its unread and starred state</source>
        <translation>Ogni messaggio va nella cartella scelta dalle sue etichette e mantiene lo stato da leggere e speciale</translation>
    </message>
    <message>
        <source>A file of your own that says what labels mean, one line each: label = Inbox, Sent Items, Drafts, Deleted Items, Junk Email, unread, starred, ignore or a folder path</source>
        <translation>Un file tuo che dice cosa significano le etichette, una riga ciascuna: etichetta = Inbox, Sent Items, Drafts, Deleted Items, Junk Email, unread, starred, ignore o un percorso di cartella</translation>
    </message>
    <message>
        <source>Please select a option to convert file(s).</source>
        <translation>Scegli un formato in cui convertire.</translation>
    </message>
    <message>
        <source>Choose Folder to Save...</source>
        <translation>Scegli la cartella di destinazione...</translation>
    </message>
    <message>
        <source>Mailbox %1 (of %2) </source>
        <translation>Casella %1 (di %2) </translation>
    </message>
    <message>
        <source>Saved %1 Email Messages...</source>
        <translation>%1 messaggi salvati...</translation>
    </message>
    <message>
        <source>Are you sure you want to exit now?</source>
        <translation>Vuoi davvero uscire ora?</translation>
    </message>
    <message>
        <source>A conversion is running. Stop it and exit?</source>
        <translation>È in corso una conversione. Interromperla e uscire?</translation>
    </message>
    <message>
        <source>The label map cannot be used:</source>
        <translation>Impossibile usare la mappa delle etichette:</translation>
    </message>
    <message>
        <source>Label maps (*.txt);;All files (*)</source>
        <translation>Mappe delle etichette (*.txt);;Tutti i file (*)</translation>
    </message>
    <message>
        <source>Sort without the label map %1?</source>
        <translation>Ordinare senza la mappa delle etichette %1?</translation>
    </message>
    <message>
        <source>Label map in use: %1</source>
        <translation>Mappa delle etichette in uso: %1</translation>
    </message>
</context>
<context>
    <name>filelist</name>
    <message>
        <source>Searching the folder: %1 files found (Esc stops)</source>
        <translation>Ricerca nella cartella: %1 file trovati (Esc interrompe)</translation>
    </message>
    <message>
        <source>Do you want to clear all the files in the list&#xd;
 Proceed?</source>
        <translation>Rimuovere tutti i file dall'elenco?&#xd;
 Procedere?</translation>
    </message>
    <message>
        <source>%1 files</source>
        <translation>%1 file</translation>
    </message>
    <message>
        <source>Please select only %1 files at a time</source>
        <translation>Scegli al massimo %1 file alla volta</translation>
    </message>
    <message>
        <source>Brimvault Files (*.*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</source>
        <translation>File Brimvault (*.*);;File MBOX (*.mbox *.mbx);;Contatti e calendari (*.vcf *.ics);;Archivi (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</translation>
    </message>
    <message>
        <source>Brimvault Files (*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</source>
        <translation>File Brimvault (*);;File MBOX (*.mbox *.mbx);;Contatti e calendari (*.vcf *.ics);;Archivi (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</translation>
    </message>
    <message>
        <source>Choose Source Folder...</source>
        <translation>Scegli la cartella di origine...</translation>
    </message>
    <message>
        <source>The folder %1 could not be read; the files found before it were added.</source>
        <translation>Impossibile leggere la cartella %1; i file trovati prima sono stati aggiunti.</translation>
    </message>
    <message>
        <source>%1 Files Added to List.</source>
        <translation>%1 file aggiunti all'elenco.</translation>
    </message>
    <message>
        <source>Already in the list: %1.</source>
        <translation>Già nell'elenco: %1.</translation>
    </message>
</context>
<context>
    <name>Prompts</name>
    <message>
        <source>... (the rest is in the details)</source>
        <translation>... (il resto è nei dettagli)</translation>
    </message>
</context>
<context>
    <name>Completion</name>
    <message>
        <source>Your messages from Brimvault files has been successfully exported to Outlook (.pst) file.</source>
        <translation>I messaggi dei file Brimvault sono stati esportati correttamente in un file di Outlook (.pst).</translation>
    </message>
    <message>
        <source>Start Outlook and open converted pst file by clicking File -&gt; Open -&gt; Outlook Data File. And it all done !</source>
        <translation>Avvia Outlook e apri il file PST convertito da File -&gt; Apri -&gt; File di dati di Outlook. Fatto!</translation>
    </message>
    <message>
        <source>Your messages from Brimvault files has been successfully exported.</source>
        <translation>I messaggi dei file Brimvault sono stati esportati correttamente.</translation>
    </message>
    <message>
        <source>The conversion finished with problems.</source>
        <translation>La conversione è terminata con problemi.</translation>
    </message>
    <message>
        <source>What failed:</source>
        <translation>Non riuscito:</translation>
    </message>
    <message>
        <source>Converted with warnings:</source>
        <translation>Convertiti con avvisi:</translation>
    </message>
    <message>
        <source>Passed over:</source>
        <translation>Tralasciati:</translation>
    </message>
    <message>
        <source>Messages per folder:</source>
        <translation>Messaggi per cartella:</translation>
    </message>
    <message>
        <source>Nothing to convert: there is no mailbox among the listed files.</source>
        <translation>Niente da convertire: nessun file dell'elenco è una casella di posta.</translation>
    </message>
    <message>
        <source>The conversion stopped there; the mailboxes converted before it keep their output.</source>
        <translation>La conversione si è fermata lì; le caselle convertite prima mantengono il risultato.</translation>
    </message>
</context>
</TS>
