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
    <message>
        <source>%1 already there</source>
        <translation>%1 già presenti</translation>
    </message>
    <message>
        <source>%1 converted</source>
        <translation>%1 convertiti</translation>
    </message>
    <message>
        <source>%1 not converted</source>
        <translation>%1 non convertiti</translation>
    </message>
    <message>
        <source>failed: %1</source>
        <translation>non riuscito: %1</translation>
    </message>
    <message>
        <source>not reached</source>
        <translation>non raggiunto</translation>
    </message>
    <message>
        <source>nothing in it</source>
        <translation>niente dentro</translation>
    </message>
    <message>
        <source>passed over</source>
        <translation>tralasciato</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>Apri cartella</translation>
    </message>
    <message>
        <source>Save report...</source>
        <translation>Salva rapporto...</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>File CSV (*.csv)</translation>
    </message>
    <message>
        <source>The report could not be saved: %1</source>
        <translation>Impossibile salvare il rapporto: %1</translation>
    </message>
    <message>
        <source>Brimvault Converter Help</source>
        <translation>Guida di Brimvault Converter</translation>
    </message>
    <message>
        <source>A store larger than 50 GB is written in parts. Microsoft 365's PST import skips items over 150 MB (each is converted with a warning) and recommends stores of at most 20 GB: for it, convert with brimvault-convert --max-pst-size 20G</source>
        <translation>Un archivio più grande di 50 GB viene scritto in parti. L'importazione PST di Microsoft 365 salta gli elementi oltre 150 MB (ognuno viene convertito con un avviso) e consiglia archivi di al massimo 20 GB: per essa, converti con brimvault-convert --max-pst-size 20G</translation>
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
    <message>
        <source>Converted: %1 mailboxes, %2 messages.</source>
        <translation>Convertiti: %1 caselle, %2 messaggi.</translation>
    </message>
    <message>
        <source>Converted: %1 of %2 mailboxes, %3 messages.</source>
        <translation>Convertiti: %1 caselle su %2, %3 messaggi.</translation>
    </message>
    <message>
        <source>Converted: %1 mailboxes, %2 messages; %3 contacts and calendar files, %4 contacts, events and tasks.</source>
        <translation>Convertiti: %1 caselle, %2 messaggi; %3 file di contatti e calendari, %4 contatti, eventi e attività.</translation>
    </message>
    <message>
        <source>Converted: %1 of %2 mailboxes, %3 messages; %4 of %5 contacts and calendar files, %6 contacts, events and tasks.</source>
        <translation>Convertiti: %1 caselle su %2, %3 messaggi; %4 file di contatti e calendari su %5, %6 contatti, eventi e attività.</translation>
    </message>
    <message>
        <source>Messages not converted: %1.</source>
        <translation>Messaggi non convertiti: %1.</translation>
    </message>
    <message>
        <source>Contacts, events and tasks not converted: %1.</source>
        <translation>Contatti, eventi e attività non convertiti: %1.</translation>
    </message>
    <message>
        <source>The disk is full: the run ended there; the rest of the file in hand was not read.</source>
        <translation>Il disco è pieno: la conversione è finita lì; il resto del file in lettura non è stato letto.</translation>
    </message>
    <message>
        <source>The disk is full: the run ended there; the rest of the file in hand was not read, nor %1 more listed files.</source>
        <translation>Il disco è pieno: la conversione è finita lì; il resto del file in lettura non è stato letto, né altri %1 file dell'elenco.</translation>
    </message>
    <message>
        <source>The run was stopped; the rest of the file in hand was not read.</source>
        <translation>La conversione è stata fermata; il resto del file in lettura non è stato letto.</translation>
    </message>
    <message>
        <source>The run was stopped; the rest of the file in hand was not read, nor %1 more listed files.</source>
        <translation>La conversione è stata fermata; il resto del file in lettura non è stato letto, né altri %1 file dell'elenco.</translation>
    </message>
    <message>
        <source>Every message (%1) was already there: nothing needed to be added.</source>
        <translation>Ogni messaggio (%1) era già presente: non c'era niente da aggiungere.</translation>
    </message>
    <message>
        <source>Already there, so not added again: %1 messages.</source>
        <translation>Già presenti, quindi non aggiunti di nuovo: %1 messaggi.</translation>
    </message>
    <message>
        <source>Already there, so not added again: %1 messages, %2 contacts, events and tasks.</source>
        <translation>Già presenti, quindi non aggiunti di nuovo: %1 messaggi, %2 contatti, eventi e attività.</translation>
    </message>
    <message>
        <source>Messages were added to the store of an earlier run: %1</source>
        <translation>I messaggi sono stati aggiunti all'archivio di una conversione precedente: %1</translation>
    </message>
    <message>
        <source>Store: %1</source>
        <translation>Archivio: %1</translation>
    </message>
    <message>
        <source>Stores: %1 .pst files, one per mailbox.</source>
        <translation>Archivi: %1 file .pst, uno per casella.</translation>
    </message>
    <message>
        <source>Stores: %1 .pst files, one per mailbox; messages were added to %2 of them, made by an earlier run.</source>
        <translation>Archivi: %1 file .pst, uno per casella; sono stati aggiunti messaggi a %2 di essi, creati da una conversione precedente.</translation>
    </message>
    <message>
        <source>Destination: %1</source>
        <translation>Destinazione: %1</translation>
    </message>
    <message>
        <source>... and %1 more.</source>
        <translation>... e altri %1.</translation>
    </message>
    <message>
        <source>Stores larger than the size limit were written in parts:</source>
        <translation>Gli archivi oltre il limite di dimensione sono stati scritti in parti:</translation>
    </message>
    <message>
        <source>read back: %1 items in %2 folders, as written</source>
        <translation>riletto: %1 elementi in %2 cartelle, come scritti</translation>
    </message>
    <message>
        <source>read back: %1 items in %2 folders; differs from what was written:</source>
        <translation>riletto: %1 elementi in %2 cartelle; diverso da quanto scritto:</translation>
    </message>
</context>
<context>
    <name>FileListGrid</name>
    <message>
        <source>File</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Risultato</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Dimensione</translation>
    </message>
</context>
</TS>
