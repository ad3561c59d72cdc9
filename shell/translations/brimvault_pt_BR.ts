<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt_BR" sourcelanguage="en">
<context>
    <name>frmStep1</name>
    <message>
        <source>Brimvault Converter</source>
        <translation>Brimvault Converter</translation>
    </message>
    <message>
        <source>Converts Brimvault MBOX backups to EML, EMLX, MSG and PST files</source>
        <translation>Converte backups MBOX do Brimvault em arquivos EML, EMLX, MSG e PST</translation>
    </message>
    <message>
        <source>Select Brimvault file(s)...</source>
        <translation>Escolher arquivo(s) Brimvault...</translation>
    </message>
    <message>
        <source>Select folder having brimvault file(s)...</source>
        <translation>Escolher pasta com arquivos Brimvault...</translation>
    </message>
    <message>
        <source>Clear file(s)...</source>
        <translation>Limpar lista...</translation>
    </message>
    <message>
        <source>0 files</source>
        <translation>0 arquivos</translation>
    </message>
    <message>
        <source> I want to convert brimvault messages to...</source>
        <translation> Quero converter as mensagens do Brimvault em...</translation>
    </message>
    <message>
        <source>(.eml) files          -     (Supported by Outlook Express, Windows Mail, Windows Live Mail)</source>
        <translation>Arquivos (.eml)   -   (Outlook Express, Windows Mail, Windows Live Mail)</translation>
    </message>
    <message>
        <source>(.emlx) files        -     (Supported by Mac OS X Tiger Mail)</source>
        <translation>Arquivos (.emlx)   -   (Mail do Mac OS X Tiger)</translation>
    </message>
    <message>
        <source>(.pst) files          -     (Supported by MS Outlook, Outlook 2011 for Mac)</source>
        <translation>Arquivos (.pst)   -   (MS Outlook, Outlook 2011 para Mac)</translation>
    </message>
    <message>
        <source>(.msg) files         -     (Supported by MS Outlook, Document Management Software, Forensic Tools)</source>
        <translation>Arquivos (.msg)   -   (MS Outlook, gestão de documentos, ferramentas forenses)</translation>
    </message>
    <message>
        <source>Create Single Outlook PST file for All files</source>
        <translation>Criar um único arquivo PST do Outlook para todos os arquivos</translation>
    </message>
    <message>
        <source>Sort messages into folders by their labels</source>
        <translation>Organizar em pastas pelos marcadores</translation>
    </message>
    <message>
        <source>Label map...</source>
        <translation>Marcadores...</translation>
    </message>
    <message>
        <source>Converting Messages...</source>
        <translation>Convertendo...</translation>
    </message>
    <message>
        <source>Mailbox  0 (of 0)</source>
        <translation>Caixa  0 (de 0)</translation>
    </message>
    <message>
        <source>Reading          :</source>
        <translation>Lendo          :</translation>
    </message>
    <message>
        <source>Saving :</source>
        <translation>Salvando :</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Converter</translation>
    </message>
    <message>
        <source>&amp;Help Manual</source>
        <translation>Aj&amp;uda</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>Sa&amp;ir</translation>
    </message>
    <message>
        <source>Selecting this option will allow you to create a single PST file for all MBOX files</source>
        <translation>Com esta opção é criado um único arquivo PST para todos os arquivos MBOX</translation>
    </message>
    <message>
        <source>Each message goes to the folder its labels choose and keeps its unread and starred state</source>
        <translation>Cada mensagem vai para a pasta escolhida pelos marcadores e mantém o estado não lida e com estrela</translation>
    </message>
    <message>
        <source>A file of your own that says what labels mean, one line each: label = Inbox, Sent Items, Drafts, Deleted Items, Junk Email, unread, starred, ignore or a folder path</source>
        <translation>Um arquivo seu que diz o que os marcadores significam, uma linha cada: marcador = Inbox, Sent Items, Drafts, Deleted Items, Junk Email, unread, starred, ignore ou um caminho de pasta</translation>
    </message>
    <message>
        <source>Please select a option to convert file(s).</source>
        <translation>Escolha um formato para a conversão.</translation>
    </message>
    <message>
        <source>Choose Folder to Save...</source>
        <translation>Escolher a pasta de destino...</translation>
    </message>
    <message>
        <source>Mailbox %1 (of %2) </source>
        <translation>Caixa %1 (de %2) </translation>
    </message>
    <message>
        <source>Saved %1 Email Messages...</source>
        <translation>%1 mensagens salvas...</translation>
    </message>
    <message>
        <source>Are you sure you want to exit now?</source>
        <translation>Tem certeza de que deseja sair agora?</translation>
    </message>
    <message>
        <source>A conversion is running. Stop it and exit?</source>
        <translation>Há uma conversão em andamento. Interromper e sair?</translation>
    </message>
    <message>
        <source>The label map cannot be used:</source>
        <translation>Não é possível usar o mapa de marcadores:</translation>
    </message>
    <message>
        <source>Label maps (*.txt);;All files (*)</source>
        <translation>Mapas de marcadores (*.txt);;Todos os arquivos (*)</translation>
    </message>
    <message>
        <source>Sort without the label map %1?</source>
        <translation>Organizar sem o mapa de marcadores %1?</translation>
    </message>
    <message>
        <source>Label map in use: %1</source>
        <translation>Mapa de marcadores em uso: %1</translation>
    </message>
    <message>
        <source>%1 already there</source>
        <translation>%1 já existentes</translation>
    </message>
    <message>
        <source>%1 converted</source>
        <translation>%1 convertidos</translation>
    </message>
    <message>
        <source>%1 not converted</source>
        <translation>%1 não convertidos</translation>
    </message>
    <message>
        <source>failed: %1</source>
        <translation>falhou: %1</translation>
    </message>
    <message>
        <source>not reached</source>
        <translation>não alcançado</translation>
    </message>
    <message>
        <source>nothing in it</source>
        <translation>nada nele</translation>
    </message>
    <message>
        <source>passed over</source>
        <translation>ignorado</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>Abrir pasta</translation>
    </message>
    <message>
        <source>Save report...</source>
        <translation>Salvar relatório...</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>Arquivos CSV (*.csv)</translation>
    </message>
    <message>
        <source>The report could not be saved: %1</source>
        <translation>Não foi possível salvar o relatório: %1</translation>
    </message>
    <message>
        <source>Brimvault Converter Help</source>
        <translation>Ajuda do Brimvault Converter</translation>
    </message>
    <message>
        <source>A store larger than 50 GB is written in parts. Microsoft 365's PST import skips items over 150 MB (each is converted with a warning) and recommends stores of at most 20 GB: for it, convert with brimvault-convert --max-pst-size 20G</source>
        <translation>Um repositório maior que 50 GB é gravado em partes. A importação PST do Microsoft 365 ignora itens acima de 150 MB (cada um é convertido com um aviso) e recomenda repositórios de no máximo 20 GB: para ela, converta com brimvault-convert --max-pst-size 20G</translation>
    </message>
</context>
<context>
    <name>filelist</name>
    <message>
        <source>Searching the folder: %1 files found (Esc stops)</source>
        <translation>Procurando na pasta: %1 arquivos encontrados (Esc interrompe)</translation>
    </message>
    <message>
        <source>Do you want to clear all the files in the list&#xd;
 Proceed?</source>
        <translation>Remover todos os arquivos da lista?&#xd;
 Continuar?</translation>
    </message>
    <message>
        <source>%1 files</source>
        <translation>%1 arquivos</translation>
    </message>
    <message>
        <source>Please select only %1 files at a time</source>
        <translation>Escolha no máximo %1 arquivos por vez</translation>
    </message>
    <message>
        <source>Brimvault Files (*.*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</source>
        <translation>Arquivos Brimvault (*.*);;Arquivos MBOX (*.mbox *.mbx);;Contatos e agendas (*.vcf *.ics);;Arquivos compactados (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</translation>
    </message>
    <message>
        <source>Brimvault Files (*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics);;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</source>
        <translation>Arquivos Brimvault (*);;Arquivos MBOX (*.mbox *.mbx);;Contatos e agendas (*.vcf *.ics);;Arquivos compactados (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)</translation>
    </message>
    <message>
        <source>Choose Source Folder...</source>
        <translation>Escolher a pasta de origem...</translation>
    </message>
    <message>
        <source>The folder %1 could not be read; the files found before it were added.</source>
        <translation>Não foi possível ler a pasta %1; os arquivos encontrados antes dela foram adicionados.</translation>
    </message>
    <message>
        <source>%1 Files Added to List.</source>
        <translation>%1 arquivos adicionados à lista.</translation>
    </message>
    <message>
        <source>Already in the list: %1.</source>
        <translation>Já na lista: %1.</translation>
    </message>
</context>
<context>
    <name>Prompts</name>
    <message>
        <source>... (the rest is in the details)</source>
        <translation>... (o restante está nos detalhes)</translation>
    </message>
</context>
<context>
    <name>Completion</name>
    <message>
        <source>Your messages from Brimvault files has been successfully exported to Outlook (.pst) file.</source>
        <translation>Suas mensagens dos arquivos Brimvault foram exportadas com sucesso para um arquivo do Outlook (.pst).</translation>
    </message>
    <message>
        <source>Start Outlook and open converted pst file by clicking File -&gt; Open -&gt; Outlook Data File. And it all done !</source>
        <translation>Inicie o Outlook e abra o arquivo PST convertido em Arquivo -&gt; Abrir -&gt; Arquivo de Dados do Outlook. Pronto!</translation>
    </message>
    <message>
        <source>Your messages from Brimvault files has been successfully exported.</source>
        <translation>Suas mensagens dos arquivos Brimvault foram exportadas com sucesso.</translation>
    </message>
    <message>
        <source>The conversion finished with problems.</source>
        <translation>A conversão terminou com problemas.</translation>
    </message>
    <message>
        <source>What failed:</source>
        <translation>O que falhou:</translation>
    </message>
    <message>
        <source>Converted with warnings:</source>
        <translation>Convertidos com avisos:</translation>
    </message>
    <message>
        <source>Passed over:</source>
        <translation>Ignorados:</translation>
    </message>
    <message>
        <source>Messages per folder:</source>
        <translation>Mensagens por pasta:</translation>
    </message>
    <message>
        <source>Nothing to convert: there is no mailbox among the listed files.</source>
        <translation>Nada para converter: nenhum dos arquivos da lista é uma caixa de correio.</translation>
    </message>
    <message>
        <source>The conversion stopped there; the mailboxes converted before it keep their output.</source>
        <translation>A conversão parou aí; as caixas convertidas antes mantêm o resultado.</translation>
    </message>
    <message>
        <source>Converted: %1 mailboxes, %2 messages.</source>
        <translation>Convertidos: %1 caixas, %2 mensagens.</translation>
    </message>
    <message>
        <source>Converted: %1 of %2 mailboxes, %3 messages.</source>
        <translation>Convertidos: %1 de %2 caixas, %3 mensagens.</translation>
    </message>
    <message>
        <source>Converted: %1 mailboxes, %2 messages; %3 contacts and calendar files, %4 contacts, events and tasks.</source>
        <translation>Convertidos: %1 caixas, %2 mensagens; %3 arquivos de contatos e calendários, %4 contatos, eventos e tarefas.</translation>
    </message>
    <message>
        <source>Converted: %1 of %2 mailboxes, %3 messages; %4 of %5 contacts and calendar files, %6 contacts, events and tasks.</source>
        <translation>Convertidos: %1 de %2 caixas, %3 mensagens; %4 de %5 arquivos de contatos e calendários, %6 contatos, eventos e tarefas.</translation>
    </message>
    <message>
        <source>Messages not converted: %1.</source>
        <translation>Mensagens não convertidas: %1.</translation>
    </message>
    <message>
        <source>Contacts, events and tasks not converted: %1.</source>
        <translation>Contatos, eventos e tarefas não convertidos: %1.</translation>
    </message>
    <message>
        <source>The disk is full: the run ended there; the rest of the file in hand was not read.</source>
        <translation>O disco está cheio: a conversão terminou ali; o restante do arquivo em leitura não foi lido.</translation>
    </message>
    <message>
        <source>The disk is full: the run ended there; the rest of the file in hand was not read, nor %1 more listed files.</source>
        <translation>O disco está cheio: a conversão terminou ali; o restante do arquivo em leitura não foi lido, nem mais %1 arquivos da lista.</translation>
    </message>
    <message>
        <source>The run was stopped; the rest of the file in hand was not read.</source>
        <translation>A conversão foi interrompida; o restante do arquivo em leitura não foi lido.</translation>
    </message>
    <message>
        <source>The run was stopped; the rest of the file in hand was not read, nor %1 more listed files.</source>
        <translation>A conversão foi interrompida; o restante do arquivo em leitura não foi lido, nem mais %1 arquivos da lista.</translation>
    </message>
    <message>
        <source>Every message (%1) was already there: nothing needed to be added.</source>
        <translation>Todas as mensagens (%1) já existiam: não havia nada a adicionar.</translation>
    </message>
    <message>
        <source>Already there, so not added again: %1 messages.</source>
        <translation>Já existentes, portanto não adicionadas de novo: %1 mensagens.</translation>
    </message>
    <message>
        <source>Already there, so not added again: %1 messages, %2 contacts, events and tasks.</source>
        <translation>Já existentes, portanto não adicionadas de novo: %1 mensagens, %2 contatos, eventos e tarefas.</translation>
    </message>
    <message>
        <source>Messages were added to the store of an earlier run: %1</source>
        <translation>As mensagens foram adicionadas ao repositório de uma conversão anterior: %1</translation>
    </message>
    <message>
        <source>Store: %1</source>
        <translation>Repositório: %1</translation>
    </message>
    <message>
        <source>Stores: %1 .pst files, one per mailbox.</source>
        <translation>Repositórios: %1 arquivos .pst, um por caixa.</translation>
    </message>
    <message>
        <source>Stores: %1 .pst files, one per mailbox; messages were added to %2 of them, made by an earlier run.</source>
        <translation>Repositórios: %1 arquivos .pst, um por caixa; foram adicionadas mensagens a %2 deles, criados por uma conversão anterior.</translation>
    </message>
    <message>
        <source>Destination: %1</source>
        <translation>Destino: %1</translation>
    </message>
    <message>
        <source>... and %1 more.</source>
        <translation>... e mais %1.</translation>
    </message>
    <message>
        <source>Stores larger than the size limit were written in parts:</source>
        <translation>Repositórios maiores que o limite de tamanho foram gravados em partes:</translation>
    </message>
    <message>
        <source>read back: %1 items in %2 folders, as written</source>
        <translation>relido: %1 itens em %2 pastas, como gravados</translation>
    </message>
    <message>
        <source>read back: %1 items in %2 folders; differs from what was written:</source>
        <translation>relido: %1 itens em %2 pastas; difere do que foi gravado:</translation>
    </message>
</context>
<context>
    <name>FileListGrid</name>
    <message>
        <source>File</source>
        <translation>Arquivo</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Resultado</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Tamanho</translation>
    </message>
</context>
</TS>
