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
</context>
</TS>
