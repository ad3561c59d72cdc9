<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr" sourcelanguage="en">
<context>
    <name>frmStep1</name>
    <message>
        <source>Brimvault Converter</source>
        <translation>Brimvault Converter</translation>
    </message>
    <message>
        <source>Converts Brimvault MBOX backups to EML, EMLX, MSG and PST files</source>
        <translation>Convertit les sauvegardes MBOX Brimvault en fichiers EML, EMLX, MSG et PST</translation>
    </message>
    <message>
        <source>Select Brimvault file(s)...</source>
        <translation>Choisir des fichiers Brimvault...</translation>
    </message>
    <message>
        <source>Select folder having brimvault file(s)...</source>
        <translation>Choisir un dossier de fichiers Brimvault...</translation>
    </message>
    <message>
        <source>Clear file(s)...</source>
        <translation>Vider la liste...</translation>
    </message>
    <message>
        <source>0 files</source>
        <translation>0 fichier</translation>
    </message>
    <message>
        <source> I want to convert brimvault messages to...</source>
        <translation> Convertir les messages Brimvault en...</translation>
    </message>
    <message>
        <source>(.eml) files          -     (Supported by Outlook Express, Windows Mail, Windows Live Mail)</source>
        <translation>Fichiers (.eml)   -   (Outlook Express, Windows Mail, Windows Live Mail)</translation>
    </message>
    <message>
        <source>(.emlx) files        -     (Supported by Mac OS X Tiger Mail)</source>
        <translation>Fichiers (.emlx)   -   (Mail de Mac OS X Tiger)</translation>
    </message>
    <message>
        <source>(.pst) files          -     (Supported by MS Outlook, Outlook 2011 for Mac)</source>
        <translation>Fichiers (.pst)   -   (MS Outlook, Outlook 2011 pour Mac)</translation>
    </message>
    <message>
        <source>(.msg) files         -     (Supported by MS Outlook, Document Management Software, Forensic Tools)</source>
        <translation>Fichiers (.msg)   -   (MS Outlook, gestion documentaire, outils d'investigation)</translation>
    </message>
    <message>
        <source>Create Single Outlook PST file for All files</source>
        <translation>Créer un seul fichier PST Outlook pour tous les fichiers</translation>
    </message>
    <message>
        <source>Sort messages into folders by their labels</source>
        <translation>Classer en dossiers selon les libellés</translation>
    </message>
    <message>
        <source>Label map...</source>
        <translation>Libellés...</translation>
    </message>
    <message>
        <source>Converting Messages...</source>
        <translation>Conversion...</translation>
    </message>
    <message>
        <source>Mailbox  0 (of 0)</source>
        <translation>Boîte  0 (sur 0)</translation>
    </message>
    <message>
        <source>Reading          :</source>
        <translation>Lecture          :</translation>
    </message>
    <message>
        <source>Saving :</source>
        <translation>Enregistrement :</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Convertir</translation>
    </message>
    <message>
        <source>&amp;Help Manual</source>
        <translation>&amp;Aide</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Quitter</translation>
    </message>
    <message>
        <source>Selecting this option will allow you to create a single PST file for all MBOX files</source>
        <translation>Cette option crée un seul fichier PST pour tous les fichiers MBOX</translation>
    </message>
    <message>
        <source>Each message goes to the folder its labels choose and keeps its unread and starred state</source>
        <translation>Chaque message va dans le dossier choisi par ses libellés et garde son état non lu et suivi</translation>
    </message>
    <message>
        <source>A file of your own that says what labels mean, one line each: label = Inbox, Sent Items, Drafts, Deleted Items, Junk Email, unread, starred, ignore or a folder path</source>
        <translation>Un fichier à vous qui dit ce que signifient les libellés, une ligne chacun : libellé = Inbox, Sent Items, Drafts, Deleted Items, Junk Email, unread, starred, ignore ou un chemin de dossier</translation>
    </message>
    <message>
        <source>Please select a option to convert file(s).</source>
        <translation>Veuillez choisir un format de conversion.</translation>
    </message>
    <message>
        <source>Choose Folder to Save...</source>
        <translation>Choisir le dossier d'enregistrement...</translation>
    </message>
    <message>
        <source>Mailbox %1 (of %2) </source>
        <translation>Boîte %1 (sur %2) </translation>
    </message>
    <message>
        <source>Saved %1 Email Messages...</source>
        <translation>%1 messages enregistrés...</translation>
    </message>
    <message>
        <source>Are you sure you want to exit now?</source>
        <translation>Voulez-vous vraiment quitter maintenant ?</translation>
    </message>
    <message>
        <source>A conversion is running. Stop it and exit?</source>
        <translation>Une conversion est en cours. L'arrêter et quitter ?</translation>
    </message>
    <message>
        <source>The label map cannot be used:</source>
        <translation>La table des libellés est inutilisable :</translation>
    </message>
    <message>
        <source>Label maps (*.txt);;All files (*)</source>
        <translation>Tables de libellés (*.txt);;Tous les fichiers (*)</translation>
    </message>
    <message>
        <source>Sort without the label map %1?</source>
        <translation>Classer sans la table des libellés %1 ?</translation>
    </message>
    <message>
        <source>Label map in use: %1</source>
        <translation>Table des libellés utilisée : %1</translation>
    </message>
    <message>
        <source>%1 already there</source>
        <translation>%1 déjà présents</translation>
    </message>
    <message>
        <source>%1 converted</source>
        <translation>%1 convertis</translation>
    </message>
    <message>
        <source>%1 not converted</source>
        <translation>%1 non convertis</translation>
    </message>
    <message>
        <source>failed: %1</source>
        <translation>échec : %1</translation>
    </message>
    <message>
        <source>not reached</source>
        <translation>non atteint</translation>
    </message>
    <message>
        <source>nothing in it</source>
        <translation>rien dedans</translation>
    </message>
    <message>
        <source>passed over</source>
        <translation>ignoré</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>Ouvrir le dossier</translation>
    </message>
    <message>
        <source>Save report...</source>
        <translation>Enregistrer le rapport...</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>Fichiers CSV (*.csv)</translation>
    </message>
    <message>
        <source>The report could not be saved: %1</source>
        <translation>Le rapport n'a pas pu être enregistré : %1</translation>
    </message>
    <message>
        <source>Brimvault Converter Help</source>
        <translation>Aide de Brimvault Converter</translation>
    </message>
    <message>
        <source>A store larger than 50 GB is written in parts. Microsoft 365's PST import skips items over 150 MB (each is converted with a warning) and recommends stores of at most 20 GB: for it, convert with brimvault-convert --max-pst-size 20G</source>
        <translation>Un magasin de plus de 50 Go est écrit en plusieurs parties. L'importation PST de Microsoft 365 ignore les éléments de plus de 150 Mo (chacun est converti avec un avertissement) et recommande des magasins d'au plus 20 Go : pour elle, convertissez avec brimvault-convert --max-pst-size 20G</translation>
    </message>
</context>
<context>
    <name>filelist</name>
    <message>
        <source>Searching the folder: %1 files found (Esc stops)</source>
        <translation>Recherche dans le dossier : %1 fichiers trouvés (Échap arrête)</translation>
    </message>
    <message>
        <source>Do you want to clear all the files in the list&#xd;
 Proceed?</source>
        <translation>Retirer tous les fichiers de la liste ?&#xd;
 Continuer ?</translation>
    </message>
    <message>
        <source>%1 files</source>
        <translation>%1 fichiers</translation>
    </message>
    <message>
        <source>Please select only %1 files at a time</source>
        <translation>Veuillez choisir au plus %1 fichiers à la fois</translation>
    </message>
    <message>
        <source>Brimvault Files (*.*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</source>
        <translation>Fichiers Brimvault (*.*);;Fichiers MBOX (*.mbox *.mbx);;Contacts et calendriers (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</translation>
    </message>
    <message>
        <source>Brimvault Files (*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</source>
        <translation>Fichiers Brimvault (*);;Fichiers MBOX (*.mbox *.mbx);;Contacts et calendriers (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</translation>
    </message>
    <message>
        <source>Choose Source Folder...</source>
        <translation>Choisir le dossier source...</translation>
    </message>
    <message>
        <source>The folder %1 could not be read; the files found before it were added.</source>
        <translation>Le dossier %1 n'a pas pu être lu ; les fichiers trouvés avant lui ont été ajoutés.</translation>
    </message>
    <message>
        <source>%1 Files Added to List.</source>
        <translation>%1 fichiers ajoutés à la liste.</translation>
    </message>
    <message>
        <source>Already in the list: %1.</source>
        <translation>Déjà dans la liste : %1.</translation>
    </message>
</context>
<context>
    <name>Prompts</name>
    <message>
        <source>... (the rest is in the details)</source>
        <translation>... (la suite figure dans les détails)</translation>
    </message>
</context>
<context>
    <name>Completion</name>
    <message>
        <source>Your messages from Brimvault files has been successfully exported to Outlook (.pst) file.</source>
        <translation>Vos messages des fichiers Brimvault ont été exportés avec succès dans un fichier Outlook (.pst).</translation>
    </message>
    <message>
        <source>Start Outlook and open converted pst file by clicking File -&gt; Open -&gt; Outlook Data File. And it all done !</source>
        <translation>Lancez Outlook et ouvrez le fichier PST converti par Fichier -&gt; Ouvrir -&gt; Fichier de données Outlook. C'est terminé !</translation>
    </message>
    <message>
        <source>Your messages from Brimvault files has been successfully exported.</source>
        <translation>Vos messages des fichiers Brimvault ont été exportés avec succès.</translation>
    </message>
    <message>
        <source>The conversion finished with problems.</source>
        <translation>La conversion s'est terminée avec des problèmes.</translation>
    </message>
    <message>
        <source>What failed:</source>
        <translation>Échecs :</translation>
    </message>
    <message>
        <source>Converted with warnings:</source>
        <translation>Convertis avec des avertissements :</translation>
    </message>
    <message>
        <source>Passed over:</source>
        <translation>Ignorés :</translation>
    </message>
    <message>
        <source>Messages per folder:</source>
        <translation>Messages par dossier :</translation>
    </message>
    <message>
        <source>Nothing to convert: there is no mailbox among the listed files.</source>
        <translation>Rien à convertir : aucun des fichiers de la liste n'est une boîte aux lettres.</translation>
    </message>
    <message>
        <source>The conversion stopped there; the mailboxes converted before it keep their output.</source>
        <translation>La conversion s'est arrêtée là ; les boîtes converties avant conservent leur résultat.</translation>
    </message>
    <message>
        <source>Converted: %1 mailboxes, %2 messages.</source>
        <translation>Convertis : %1 boîtes, %2 messages.</translation>
    </message>
    <message>
        <source>Converted: %1 of %2 mailboxes, %3 messages.</source>
        <translation>Convertis : %1 boîtes sur %2, %3 messages.</translation>
    </message>
    <message>
        <source>Converted: %1 mailboxes, %2 messages; %3 contacts and calendar files, %4 contacts, events and tasks.</source>
        <translation>Convertis : %1 boîtes, %2 messages ; %3 fichiers de contacts et d'agendas, %4 contacts, événements et tâches.</translation>
    </message>
    <message>
        <source>Converted: %1 of %2 mailboxes, %3 messages; %4 of %5 contacts and calendar files, %6 contacts, events and tasks.</source>
        <translation>Convertis : %1 boîtes sur %2, %3 messages ; %4 fichiers de contacts et d'agendas sur %5, %6 contacts, événements et tâches.</translation>
    </message>
    <message>
        <source>Messages not converted: %1.</source>
        <translation>Messages non convertis : %1.</translation>
    </message>
    <message>
        <source>Contacts, events and tasks not converted: %1.</source>
        <translation>Contacts, événements et tâches non convertis : %1.</translation>
    </message>
    <message>
        <source>The disk is full: the run ended there; the rest of the file in hand was not read.</source>
        <translation>Le disque est plein : la conversion s'est arrêtée là ; le reste du fichier en cours n'a pas été lu.</translation>
    </message>
    <message>
        <source>The disk is full: the run ended there; the rest of the file in hand was not read, nor %1 more listed files.</source>
        <translation>Le disque est plein : la conversion s'est arrêtée là ; le reste du fichier en cours n'a pas été lu, ni %1 autres fichiers de la liste.</translation>
    </message>
    <message>
        <source>The run was stopped; the rest of the file in hand was not read.</source>
        <translation>La conversion a été arrêtée ; le reste du fichier en cours n'a pas été lu.</translation>
    </message>
    <message>
        <source>The run was stopped; the rest of the file in hand was not read, nor %1 more listed files.</source>
        <translation>La conversion a été arrêtée ; le reste du fichier en cours n'a pas été lu, ni %1 autres fichiers de la liste.</translation>
    </message>
    <message>
        <source>Every message (%1) was already there: nothing needed to be added.</source>
        <translation>Chaque message (%1) était déjà présent : il n'y avait rien à ajouter.</translation>
    </message>
    <message>
        <source>Already there, so not added again: %1 messages.</source>
        <translation>Déjà présents, donc pas ajoutés à nouveau : %1 messages.</translation>
    </message>
    <message>
        <source>Already there, so not added again: %1 messages, %2 contacts, events and tasks.</source>
        <translation>Déjà présents, donc pas ajoutés à nouveau : %1 messages, %2 contacts, événements et tâches.</translation>
    </message>
    <message>
        <source>Messages were added to the store of an earlier run: %1</source>
        <translation>Les messages ont été ajoutés au magasin d'une conversion précédente : %1</translation>
    </message>
    <message>
        <source>Store: %1</source>
        <translation>Magasin : %1</translation>
    </message>
    <message>
        <source>Stores: %1 .pst files, one per mailbox.</source>
        <translation>Magasins : %1 fichiers .pst, un par boîte.</translation>
    </message>
    <message>
        <source>Stores: %1 .pst files, one per mailbox; messages were added to %2 of them, made by an earlier run.</source>
        <translation>Magasins : %1 fichiers .pst, un par boîte ; des messages ont été ajoutés à %2 d'entre eux, créés par une conversion précédente.</translation>
    </message>
    <message>
        <source>Destination: %1</source>
        <translation>Destination : %1</translation>
    </message>
    <message>
        <source>... and %1 more.</source>
        <translation>... et %1 de plus.</translation>
    </message>
    <message>
        <source>Stores larger than the size limit were written in parts:</source>
        <translation>Les magasins dépassant la taille limite ont été écrits en plusieurs parties :</translation>
    </message>
    <message>
        <source>read back: %1 items in %2 folders, as written</source>
        <translation>relecture : %1 éléments dans %2 dossiers, comme écrits</translation>
    </message>
    <message>
        <source>read back: %1 items in %2 folders; differs from what was written:</source>
        <translation>relecture : %1 éléments dans %2 dossiers ; diffère de ce qui a été écrit :</translation>
    </message>
</context>
<context>
    <name>FileListGrid</name>
    <message>
        <source>File</source>
        <translation>Fichier</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Résultat</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Taille</translation>
    </message>
</context>
</TS>
