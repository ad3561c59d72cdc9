<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es" sourcelanguage="en">
<context>
    <name>frmStep1</name>
    <message>
        <source>Brimvault Converter</source>
        <translation>Brimvault Converter</translation>
    </message>
    <message>
        <source>Converts Brimvault MBOX backups to EML, EMLX, MSG and PST files</source>
        <translation>Convierte copias MBOX de Brimvault en archivos EML, EMLX, MSG y PST</translation>
    </message>
    <message>
        <source>Select Brimvault file(s)...</source>
        <translation>Elegir archivo(s) de Brimvault...</translation>
    </message>
    <message>
        <source>Select folder having brimvault file(s)...</source>
        <translation>Elegir carpeta con archivos de Brimvault...</translation>
    </message>
    <message>
        <source>Clear file(s)...</source>
        <translation>Vaciar la lista...</translation>
    </message>
    <message>
        <source>0 files</source>
        <translation>0 archivos</translation>
    </message>
    <message>
        <source> I want to convert brimvault messages to...</source>
        <translation> Quiero convertir los mensajes de Brimvault a...</translation>
    </message>
    <message>
        <source>(.eml) files          -     (Supported by Outlook Express, Windows Mail, Windows Live Mail)</source>
        <translation>Archivos (.eml)   -   (Outlook Express, Windows Mail, Windows Live Mail)</translation>
    </message>
    <message>
        <source>(.emlx) files        -     (Supported by Mac OS X Tiger Mail)</source>
        <translation>Archivos (.emlx)   -   (Mail de Mac OS X Tiger)</translation>
    </message>
    <message>
        <source>(.pst) files          -     (Supported by MS Outlook, Outlook 2011 for Mac)</source>
        <translation>Archivos (.pst)   -   (MS Outlook, Outlook 2011 para Mac)</translation>
    </message>
    <message>
        <source>(.msg) files         -     (Supported by MS Outlook, Document Management Software, Forensic Tools)</source>
        <translation>Archivos (.msg)   -   (MS Outlook, gestión documental, herramientas forenses)</translation>
    </message>
    <message>
        <source>Create Single Outlook PST file for All files</source>
        <translation>Crear un único archivo PST de Outlook para todos los archivos</translation>
    </message>
    <message>
        <source>Sort messages into folders by their labels</source>
        <translation>Ordenar en carpetas según las etiquetas</translation>
    </message>
    <message>
        <source>Label map...</source>
        <translation>Etiquetas...</translation>
    </message>
    <message>
        <source>Converting Messages...</source>
        <translation>Convirtiendo...</translation>
    </message>
    <message>
        <source>Mailbox  0 (of 0)</source>
        <translation>Buzón  0 (de 0)</translation>
    </message>
    <message>
        <source>Reading          :</source>
        <translation>Leyendo          :</translation>
    </message>
    <message>
        <source>Saving :</source>
        <translation>Guardando :</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Convertir</translation>
    </message>
    <message>
        <source>&amp;Help Manual</source>
        <translation>Ay&amp;uda</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Salir</translation>
    </message>
    <message>
        <source>Selecting this option will allow you to create a single PST file for all MBOX files</source>
        <translation>Con esta opción se crea un único archivo PST para todos los archivos MBOX</translation>
    </message>
    <message>
        <source>Each message goes to the folder its labels choose and keeps its unread and starred state</source>
        <translation>Cada mensaje va a la carpeta que eligen sus etiquetas y conserva su estado de no leído y destacado</translation>
    </message>
    <message>
        <source>A file of your own that says what labels mean, one line each: label = Inbox, Sent Items, Drafts, Deleted Items, Junk Email, unread, starred, ignore or a folder path</source>
        <translation>Un archivo propio que dice qué significan las etiquetas, una línea cada una: etiqueta = Inbox, Sent Items, Drafts, Deleted Items, Junk Email, unread, starred, ignore o una ruta de carpeta</translation>
    </message>
    <message>
        <source>Please select a option to convert file(s).</source>
        <translation>Elija un formato al que convertir.</translation>
    </message>
    <message>
        <source>Choose Folder to Save...</source>
        <translation>Elegir la carpeta de destino...</translation>
    </message>
    <message>
        <source>Mailbox %1 (of %2) </source>
        <translation>Buzón %1 (de %2) </translation>
    </message>
    <message>
        <source>Saved %1 Email Messages...</source>
        <translation>%1 mensajes guardados...</translation>
    </message>
    <message>
        <source>Are you sure you want to exit now?</source>
        <translation>¿Seguro que quiere salir ahora?</translation>
    </message>
    <message>
        <source>A conversion is running. Stop it and exit?</source>
        <translation>Hay una conversión en curso. ¿Detenerla y salir?</translation>
    </message>
    <message>
        <source>The label map cannot be used:</source>
        <translation>No se puede usar el mapa de etiquetas:</translation>
    </message>
    <message>
        <source>Label maps (*.txt);;All files (*)</source>
        <translation>Mapas de etiquetas (*.txt);;Todos los archivos (*)</translation>
    </message>
    <message>
        <source>Sort without the label map %1?</source>
        <translation>¿Ordenar sin el mapa de etiquetas %1?</translation>
    </message>
    <message>
        <source>Label map in use: %1</source>
        <translation>Mapa de etiquetas en uso: %1</translation>
    </message>
    <message>
        <source>%1 already there</source>
        <translation>%1 ya estaban</translation>
    </message>
    <message>
        <source>%1 converted</source>
        <translation>%1 convertidos</translation>
    </message>
    <message>
        <source>%1 not converted</source>
        <translation>%1 sin convertir</translation>
    </message>
    <message>
        <source>failed: %1</source>
        <translation>falló: %1</translation>
    </message>
    <message>
        <source>not reached</source>
        <translation>no alcanzado</translation>
    </message>
    <message>
        <source>nothing in it</source>
        <translation>nada dentro</translation>
    </message>
    <message>
        <source>passed over</source>
        <translation>omitido</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>Abrir carpeta</translation>
    </message>
    <message>
        <source>Save report...</source>
        <translation>Guardar informe...</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>Archivos CSV (*.csv)</translation>
    </message>
    <message>
        <source>The report could not be saved: %1</source>
        <translation>No se pudo guardar el informe: %1</translation>
    </message>
    <message>
        <source>Brimvault Converter Help</source>
        <translation>Ayuda de Brimvault Converter</translation>
    </message>
    <message>
        <source>A store larger than 50 GB is written in parts. Microsoft 365's PST import skips items over 150 MB (each is converted with a warning) and recommends stores of at most 20 GB: for it, convert with brimvault-convert --max-pst-size 20G</source>
        <translation>Un almacén de más de 50 GB se escribe en partes. La importación PST de Microsoft 365 omite elementos de más de 150 MB (cada uno se convierte con una advertencia) y recomienda almacenes de 20 GB como máximo: para ella, convierta con brimvault-convert --max-pst-size 20G</translation>
    </message>
</context>
<context>
    <name>filelist</name>
    <message>
        <source>Searching the folder: %1 files found (Esc stops)</source>
        <translation>Buscando en la carpeta: %1 archivos encontrados (Esc detiene)</translation>
    </message>
    <message>
        <source>Do you want to clear all the files in the list&#xd;
 Proceed?</source>
        <translation>¿Quitar todos los archivos de la lista?&#xd;
 ¿Continuar?</translation>
    </message>
    <message>
        <source>%1 files</source>
        <translation>%1 archivos</translation>
    </message>
    <message>
        <source>Please select only %1 files at a time</source>
        <translation>Elija como máximo %1 archivos a la vez</translation>
    </message>
    <message>
        <source>Brimvault Files (*.*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</source>
        <translation>Archivos de Brimvault (*.*);;Archivos MBOX (*.mbox *.mbx);;Contactos y calendarios (*.vcf *.ics);;Archivos comprimidos (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</translation>
    </message>
    <message>
        <source>Brimvault Files (*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</source>
        <translation>Archivos de Brimvault (*);;Archivos MBOX (*.mbox *.mbx);;Contactos y calendarios (*.vcf *.ics);;Archivos comprimidos (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</translation>
    </message>
    <message>
        <source>Choose Source Folder...</source>
        <translation>Elegir la carpeta de origen...</translation>
    </message>
    <message>
        <source>The folder %1 could not be read; the files found before it were added.</source>
        <translation>No se pudo leer la carpeta %1; se agregaron los archivos encontrados antes.</translation>
    </message>
    <message>
        <source>%1 Files Added to List.</source>
        <translation>%1 archivos agregados a la lista.</translation>
    </message>
    <message>
        <source>Already in the list: %1.</source>
        <translation>Ya en la lista: %1.</translation>
    </message>
</context>
<context>
    <name>Prompts</name>
    <message>
        <source>... (the rest is in the details)</source>
        <translation>... (el resto está en los detalles)</translation>
    </message>
</context>
<context>
    <name>Completion</name>
    <message>
        <source>Your messages from Brimvault files has been successfully exported to Outlook (.pst) file.</source>
        <translation>Sus mensajes de los archivos de Brimvault se exportaron correctamente a un archivo de Outlook (.pst).</translation>
    </message>
    <message>
        <source>Start Outlook and open converted pst file by clicking File -&gt; Open -&gt; Outlook Data File. And it all done !</source>
        <translation>Inicie Outlook y abra el archivo PST convertido con Archivo -&gt; Abrir -&gt; Archivo de datos de Outlook. ¡Listo!</translation>
    </message>
    <message>
        <source>Your messages from Brimvault files has been successfully exported.</source>
        <translation>Sus mensajes de los archivos de Brimvault se exportaron correctamente.</translation>
    </message>
    <message>
        <source>The conversion finished with problems.</source>
        <translation>La conversión terminó con problemas.</translation>
    </message>
    <message>
        <source>What failed:</source>
        <translation>Lo que falló:</translation>
    </message>
    <message>
        <source>Converted with warnings:</source>
        <translation>Convertidos con advertencias:</translation>
    </message>
    <message>
        <source>Passed over:</source>
        <translation>Omitidos:</translation>
    </message>
    <message>
        <source>Messages per folder:</source>
        <translation>Mensajes por carpeta:</translation>
    </message>
    <message>
        <source>Nothing to convert: there is no mailbox among the listed files.</source>
        <translation>Nada que convertir: ninguno de los archivos de la lista es un buzón.</translation>
    </message>
    <message>
        <source>The conversion stopped there; the mailboxes converted before it keep their output.</source>
        <translation>La conversión se detuvo ahí; los buzones convertidos antes conservan su resultado.</translation>
    </message>
    <message>
        <source>Converted: %1 mailboxes, %2 messages.</source>
        <translation>Convertidos: %1 buzones, %2 mensajes.</translation>
    </message>
    <message>
        <source>Converted: %1 of %2 mailboxes, %3 messages.</source>
        <translation>Convertidos: %1 de %2 buzones, %3 mensajes.</translation>
    </message>
    <message>
        <source>Converted: %1 mailboxes, %2 messages; %3 contacts and calendar files, %4 contacts, events and tasks.</source>
        <translation>Convertidos: %1 buzones, %2 mensajes; %3 archivos de contactos y calendarios, %4 contactos, eventos y tareas.</translation>
    </message>
    <message>
        <source>Converted: %1 of %2 mailboxes, %3 messages; %4 of %5 contacts and calendar files, %6 contacts, events and tasks.</source>
        <translation>Convertidos: %1 de %2 buzones, %3 mensajes; %4 de %5 archivos de contactos y calendarios, %6 contactos, eventos y tareas.</translation>
    </message>
    <message>
        <source>Messages not converted: %1.</source>
        <translation>Mensajes sin convertir: %1.</translation>
    </message>
    <message>
        <source>Contacts, events and tasks not converted: %1.</source>
        <translation>Contactos, eventos y tareas sin convertir: %1.</translation>
    </message>
    <message>
        <source>The disk is full: the run ended there; the rest of the file in hand was not read.</source>
        <translation>El disco está lleno: la conversión terminó ahí; el resto del archivo en curso no se leyó.</translation>
    </message>
    <message>
        <source>The disk is full: the run ended there; the rest of the file in hand was not read, nor %1 more listed files.</source>
        <translation>El disco está lleno: la conversión terminó ahí; el resto del archivo en curso no se leyó, ni %1 archivos más de la lista.</translation>
    </message>
    <message>
        <source>The run was stopped; the rest of the file in hand was not read.</source>
        <translation>La conversión se detuvo; el resto del archivo en curso no se leyó.</translation>
    </message>
    <message>
        <source>The run was stopped; the rest of the file in hand was not read, nor %1 more listed files.</source>
        <translation>La conversión se detuvo; el resto del archivo en curso no se leyó, ni %1 archivos más de la lista.</translation>
    </message>
    <message>
        <source>Every message (%1) was already there: nothing needed to be added.</source>
        <translation>Cada mensaje (%1) ya estaba: no hacía falta añadir nada.</translation>
    </message>
    <message>
        <source>Already there, so not added again: %1 messages.</source>
        <translation>Ya estaban, así que no se añadieron de nuevo: %1 mensajes.</translation>
    </message>
    <message>
        <source>Already there, so not added again: %1 messages, %2 contacts, events and tasks.</source>
        <translation>Ya estaban, así que no se añadieron de nuevo: %1 mensajes, %2 contactos, eventos y tareas.</translation>
    </message>
    <message>
        <source>Messages were added to the store of an earlier run: %1</source>
        <translation>Los mensajes se añadieron al almacén de una conversión anterior: %1</translation>
    </message>
    <message>
        <source>Store: %1</source>
        <translation>Almacén: %1</translation>
    </message>
    <message>
        <source>Stores: %1 .pst files, one per mailbox.</source>
        <translation>Almacenes: %1 archivos .pst, uno por buzón.</translation>
    </message>
    <message>
        <source>Stores: %1 .pst files, one per mailbox; messages were added to %2 of them, made by an earlier run.</source>
        <translation>Almacenes: %1 archivos .pst, uno por buzón; se añadieron mensajes a %2 de ellos, creados por una conversión anterior.</translation>
    </message>
    <message>
        <source>Destination: %1</source>
        <translation>Destino: %1</translation>
    </message>
    <message>
        <source>... and %1 more.</source>
        <translation>... y %1 más.</translation>
    </message>
    <message>
        <source>Stores larger than the size limit were written in parts:</source>
        <translation>Los almacenes mayores que el límite de tamaño se escribieron en partes:</translation>
    </message>
    <message>
        <source>read back: %1 items in %2 folders, as written</source>
        <translation>releído: %1 elementos en %2 carpetas, tal como se escribieron</translation>
    </message>
    <message>
        <source>read back: %1 items in %2 folders; differs from what was written:</source>
        <translation>releído: %1 elementos en %2 carpetas; difiere de lo escrito:</translation>
    </message>
</context>
<context>
    <name>FileListGrid</name>
    <message>
        <source>File</source>
        <translation>Archivo</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Resultado</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Tamaño</translation>
    </message>
</context>
</TS>
