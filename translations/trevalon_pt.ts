<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt" sourcelanguage="en">
<context>
    <name>TAbout</name>
    <message>
        <source>&lt;p&gt;&lt;b&gt;Trevalon %1&lt;/b&gt;&lt;br&gt;Frame shape editor for OMA lab hosts&lt;/p&gt;&lt;p&gt;%2&lt;/p&gt;&lt;p&gt;Licensed under the MIT licence (below, under &lt;i&gt;Show Details&lt;/i&gt;).&lt;/p&gt;&lt;p&gt;Trevalon uses Qt %3 under the GNU LGPL version 3, PCRE2 under the BSD licence and Boost under the Boost Software License.</source>
        <translation>&lt;p&gt;&lt;b&gt;Trevalon %1&lt;/b&gt;&lt;br&gt;Editor de formas de armação para hosts de laboratório OMA&lt;/p&gt;&lt;p&gt;%2&lt;/p&gt;&lt;p&gt;Licenciado sob a licença MIT (abaixo, em &lt;i&gt;Mostrar detalhes&lt;/i&gt;).&lt;/p&gt;&lt;p&gt;O Trevalon usa o Qt %3 sob a GNU LGPL versão 3, o PCRE2 sob a licença BSD e o Boost sob a Boost Software License.</translation>
    </message>
    <message>
        <source> Their licence texts are in %1.</source>
        <translation> Os textos das licenças estão em %1.</translation>
    </message>
    <message>
        <source>About Trevalon</source>
        <translation>Sobre o Trevalon</translation>
    </message>
    <message>
        <source>About Qt</source>
        <translation>Sobre o Qt</translation>
    </message>
</context>
<context>
    <name>TCrashReports</name>
    <message>
        <source>Trevalon stopped unexpectedly on %1. A report was saved to %2.</source>
        <translation>O Trevalon parou inesperadamente em %1. Foi guardado um relatório em %2.</translation>
    </message>
    <message>
        <source>Open Report</source>
        <translation>Abrir relatório</translation>
    </message>
    <message>
        <source>Open Folder</source>
        <translation>Abrir pasta</translation>
    </message>
</context>
<context>
    <name>TFindPortForm</name>
    <message>
        <source>Find Host</source>
        <translation>Procurar host</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>Cannot create the communication log file: %1</source>
        <translation>Não é possível criar o ficheiro de registo da comunicação: %1</translation>
    </message>
    <message>
        <source>Cannot write the communication log file %1: %2</source>
        <translation>Não é possível escrever o ficheiro de registo da comunicação %1: %2</translation>
    </message>
    <message>
        <source>No viewer could be started for the communication log %1</source>
        <translation>Não foi possível iniciar um visualizador para o registo da comunicação %1</translation>
    </message>
    <message>
        <source>No viewer could be started for the help file %1</source>
        <translation>Não foi possível iniciar um visualizador para o ficheiro de ajuda %1</translation>
    </message>
    <message>
        <source>Cannot find the help file %1 or %2</source>
        <translation>Não foi encontrado o ficheiro de ajuda %1 nem %2</translation>
    </message>
    <message>
        <source>OMA job file, format 1, received point count (*.oma)</source>
        <translation>Ficheiro de trabalho OMA, formato 1, número de pontos recebido (*.oma)</translation>
    </message>
    <message>
        <source>OMA job file, format 1, 1024 points (*.oma)</source>
        <translation>Ficheiro de trabalho OMA, formato 1, 1024 pontos (*.oma)</translation>
    </message>
    <message>
        <source>OMA job file, format 4, received point count (*.oma)</source>
        <translation>Ficheiro de trabalho OMA, formato 4, número de pontos recebido (*.oma)</translation>
    </message>
    <message>
        <source>OMA job file, format 4, 1024 points (*.oma)</source>
        <translation>Ficheiro de trabalho OMA, formato 4, 1024 pontos (*.oma)</translation>
    </message>
    <message>
        <source>Open Job File</source>
        <translation>Abrir ficheiro de trabalho</translation>
    </message>
    <message>
        <source>Save Job File</source>
        <translation>Guardar ficheiro de trabalho</translation>
    </message>
    <message>
        <source>Save as PDF</source>
        <translation>Guardar como PDF</translation>
    </message>
    <message>
        <source>OMA job files (*.oma)</source>
        <translation>Ficheiros de trabalho OMA (*.oma)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Todos os ficheiros (*)</translation>
    </message>
    <message>
        <source>Shape %1</source>
        <translation>Forma %1</translation>
    </message>
    <message>
        <source>PDF files (*.pdf)</source>
        <translation>Ficheiros PDF (*.pdf)</translation>
    </message>
    <message>
        <source>Try with the sample host</source>
        <translation>Experimentar com o host de exemplo</translation>
    </message>
    <message>
        <source>Session transcripts (*.jsonl)</source>
        <translation>Transcrições de sessão (*.jsonl)</translation>
    </message>
    <message>
        <source>Save Session Transcript</source>
        <translation>Guardar transcrição de sessão</translation>
    </message>
    <message>
        <source>&amp;Tray/Job Number</source>
        <translation>&amp;N.º bandeja/trabalho</translation>
    </message>
    <message>
        <source>Circle</source>
        <translation>Círculo</translation>
    </message>
    <message>
        <source>Square</source>
        <translation>Quadrado</translation>
    </message>
    <message>
        <source>Diamond</source>
        <translation>Losango</translation>
    </message>
    <message>
        <source>Flower Pot</source>
        <translation>Vaso</translation>
    </message>
    <message>
        <source>Open Job File...</source>
        <translation>Abrir ficheiro de trabalho...</translation>
    </message>
    <message>
        <source>Save Job File...</source>
        <translation>Guardar ficheiro de trabalho...</translation>
    </message>
    <message>
        <source>Print Shape...</source>
        <translation>Imprimir forma...</translation>
    </message>
    <message>
        <source>Save as PDF...</source>
        <translation>Guardar como PDF...</translation>
    </message>
    <message>
        <source>&amp;Request Shape</source>
        <translation>&amp;Pedir forma</translation>
    </message>
    <message>
        <source>&amp;Save Shape</source>
        <translation>&amp;Guardar forma</translation>
    </message>
    <message>
        <source>Show Orig Shape</source>
        <translation>Forma original</translation>
    </message>
    <message>
        <source>Detailed Grid</source>
        <translation>Grelha fina</translation>
    </message>
    <message>
        <source>Rotate Shape One Data Point to the Left</source>
        <translation>Rodar a forma um ponto para a esquerda</translation>
    </message>
    <message>
        <source>Rotate Shape One Data Point to the Right</source>
        <translation>Rodar a forma um ponto para a direita</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Repor</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Ajuda</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Definições</translation>
    </message>
    <message>
        <source>&amp;A</source>
        <translation>&amp;A</translation>
    </message>
    <message>
        <source>&amp;B</source>
        <translation>&amp;B</translation>
    </message>
    <message>
        <source>&amp;Circ</source>
        <translation>&amp;Circ.</translation>
    </message>
    <message>
        <source>&amp;DBL</source>
        <translation>&amp;DBL</translation>
    </message>
    <message>
        <source>Lock B at Datum</source>
        <translation>Fixar B no datum</translation>
    </message>
    <message>
        <source>Display Communication Log</source>
        <translation>Mostrar registo da comunicação</translation>
    </message>
    <message>
        <source>Save Session Transcript...</source>
        <translation>Guardar transcrição de sessão...</translation>
    </message>
    <message>
        <source>About Trevalon...</source>
        <translation>Sobre o Trevalon...</translation>
    </message>
</context>
<context>
    <name>TScreenTexts</name>
    <message>
        <source>Ready</source>
        <translation>Pronto</translation>
    </message>
    <message>
        <source>Ver %1</source>
        <translation>Ver. %1</translation>
    </message>
    <message>
        <source>Sent request to initialize</source>
        <translation>Pedido de inicialização enviado</translation>
    </message>
    <message>
        <source>Sent information specs to host</source>
        <translation>Especificações enviadas ao host</translation>
    </message>
    <message>
        <source>Requesting job %1</source>
        <translation>A pedir o trabalho %1</translation>
    </message>
    <message>
        <source>Requesting to store job %1</source>
        <translation>A pedir para guardar o trabalho %1</translation>
    </message>
    <message>
        <source>Negotiating trace format with host</source>
        <translation>A negociar o formato de traçado com o host</translation>
    </message>
    <message>
        <source>Received data</source>
        <translation>Dados recebidos</translation>
    </message>
    <message>
        <source>Storing the shape to job %1</source>
        <translation>A guardar a forma no trabalho %1</translation>
    </message>
    <message>
        <source>Job stored</source>
        <translation>Trabalho guardado</translation>
    </message>
    <message>
        <source>Timeout waiting for host</source>
        <translation>Tempo esgotado à espera do host</translation>
    </message>
    <message>
        <source>The host&apos;s reply was damaged on the line (checksum error); if this host is known to send wrong checksums, turn off checksum verification in Settings</source>
        <translation>A resposta do host chegou danificada pela linha (erro de soma de verificação); se este host envia somas erradas, desligue a sua verificação nas Definições</translation>
    </message>
    <message>
        <source>Timeout sending to host: %1 of %2 bytes sent</source>
        <translation>Tempo esgotado ao enviar para o host: %1 de %2 bytes enviados</translation>
    </message>
    <message>
        <source>Cannot store a trace of %1 points</source>
        <translation>Não é possível guardar um traçado de %1 pontos</translation>
    </message>
    <message>
        <source>Display Log</source>
        <translation>Mostrar registo</translation>
    </message>
    <message>
        <source>Did not get positive response from host</source>
        <translation>Não houve resposta positiva do host</translation>
    </message>
    <message>
        <source>Did not receive status 0 on init</source>
        <translation>Não foi recebido o estado 0 na inicialização</translation>
    </message>
    <message>
        <source>Did not receive DEF from host (init 2)</source>
        <translation>Não foi recebido DEF do host (init 2)</translation>
    </message>
    <message>
        <source>Did not receive TRCFMT from host (init 2)</source>
        <translation>Não foi recebido TRCFMT do host (init 2)</translation>
    </message>
    <message>
        <source>Did not find the host&apos;s DEF value</source>
        <translation>Não foi encontrado o valor DEF do host</translation>
    </message>
    <message>
        <source>Did not store the shape to the host</source>
        <translation>A forma não foi guardada no host</translation>
    </message>
    <message>
        <source>Job not found/not available</source>
        <translation>Trabalho não encontrado/não disponível</translation>
    </message>
    <message>
        <source>Reply from host is too complex to read</source>
        <translation>A resposta do host é demasiado complexa para ler</translation>
    </message>
    <message>
        <source>Cannot find trace data</source>
        <translation>Não foram encontrados dados de traçado</translation>
    </message>
    <message>
        <source>Cannot find the trace format (no TRCFMT record)</source>
        <translation>Não foi encontrado o formato de traçado (sem registo TRCFMT)</translation>
    </message>
    <message>
        <source>Trace type %1 is unsupported</source>
        <translation>O tipo de traçado %1 não é suportado</translation>
    </message>
    <message>
        <source>Trace contains %1 points, but number of points is %2</source>
        <translation>O traçado contém %1 pontos, mas o número de pontos é %2</translation>
    </message>
    <message>
        <source>Trace data has %1 digits, but %2 points need %3</source>
        <translation>Os dados de traçado têm %1 dígitos, mas %2 pontos precisam de %3</translation>
    </message>
    <message>
        <source>Trace data holds &quot;%1&quot;, which is not a number</source>
        <translation>Os dados de traçado contêm «%1», que não é um número</translation>
    </message>
    <message>
        <source>Invalid trace data: point %1 has the value %2, outside 0 to 9999</source>
        <translation>Dados de traçado inválidos: o ponto %1 tem o valor %2, fora de 0 a 9999</translation>
    </message>
    <message>
        <source>Invalid trace data: point %1 has the value %2</source>
        <translation>Dados de traçado inválidos: o ponto %1 tem o valor %2</translation>
    </message>
    <message>
        <source>Invalid trace data: %1 points requested, format 4 allows 0 to 4096</source>
        <translation>Dados de traçado inválidos: pedidos %1 pontos, o formato 4 permite de 0 a 4096</translation>
    </message>
    <message>
        <source>Invalid trace data: format 4 data of %1 bytes exceeds 8193 bytes</source>
        <translation>Dados de traçado inválidos: %1 bytes de dados no formato 4 excedem 8193 bytes</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid integer value</source>
        <translation>«%1» não é um valor inteiro válido</translation>
    </message>
    <message>
        <source>Cannot send an empty trace in format 4</source>
        <translation>Não é possível enviar um traçado vazio no formato 4</translation>
    </message>
    <message>
        <source>Cannot send a trace of %1 points in format 4 (at most 4096)</source>
        <translation>Não é possível enviar um traçado de %1 pontos no formato 4 (no máximo 4096)</translation>
    </message>
    <message>
        <source>Cannot store a trace of %1 points (%2 to %3)</source>
        <translation>Não é possível guardar um traçado de %1 pontos (%2 a %3)</translation>
    </message>
    <message>
        <source>Cannot read a trace of %1 points (%2 to %3)</source>
        <translation>Não é possível ler um traçado de %1 pontos (%2 a %3)</translation>
    </message>
    <message>
        <source>There is no shape to save</source>
        <translation>Não há forma para guardar</translation>
    </message>
    <message>
        <source>There is no shape to print</source>
        <translation>Não há forma para imprimir</translation>
    </message>
    <message>
        <source>There is no session transcript to save yet</source>
        <translation>Ainda não há transcrição de sessão para guardar</translation>
    </message>
    <message>
        <source>Wait until the conversation with the host has ended</source>
        <translation>Aguarde até terminar a comunicação com o host</translation>
    </message>
    <message>
        <source>Opened job file %1 (right eye)</source>
        <translation>Ficheiro de trabalho %1 aberto (olho direito)</translation>
    </message>
    <message>
        <source>Opened job file %1 (left eye)</source>
        <translation>Ficheiro de trabalho %1 aberto (olho esquerdo)</translation>
    </message>
    <message>
        <source>Opened job file %1 (both eyes)</source>
        <translation>Ficheiro de trabalho %1 aberto (ambos os olhos)</translation>
    </message>
    <message>
        <source>Opened job file %1</source>
        <translation>Ficheiro de trabalho %1 aberto</translation>
    </message>
    <message>
        <source>Saved job file %1</source>
        <translation>Ficheiro de trabalho %1 guardado</translation>
    </message>
    <message>
        <source>Saved %1</source>
        <translation>%1 guardado</translation>
    </message>
    <message>
        <source>Shape printed</source>
        <translation>Forma impressa</translation>
    </message>
    <message>
        <source>Cannot save the session transcript: %1</source>
        <translation>Não é possível guardar a transcrição de sessão: %1</translation>
    </message>
    <message>
        <source>Cannot read the job file: it is not a file</source>
        <translation>Não é possível ler o ficheiro de trabalho: não é um ficheiro</translation>
    </message>
    <message>
        <source>Cannot read the job file: %1</source>
        <translation>Não é possível ler o ficheiro de trabalho: %1</translation>
    </message>
    <message>
        <source>Cannot write the job file: %1</source>
        <translation>Não é possível escrever o ficheiro de trabalho: %1</translation>
    </message>
    <message>
        <source>The file is too large for a job file (%1 KiB, at most %2 KiB)</source>
        <translation>O ficheiro é demasiado grande para um ficheiro de trabalho (%1 KiB, no máximo %2 KiB)</translation>
    </message>
    <message>
        <source>The file is too large for a job file (at most %1 KiB)</source>
        <translation>O ficheiro é demasiado grande para um ficheiro de trabalho (no máximo %1 KiB)</translation>
    </message>
    <message>
        <source>Tray number may only contain Latin-1 characters</source>
        <translation>O número da bandeja só pode conter caracteres Latin-1</translation>
    </message>
    <message>
        <source>Box A Too small</source>
        <translation>Box A demasiado pequeno</translation>
    </message>
    <message>
        <source>Box B Too small</source>
        <translation>Box B demasiado pequeno</translation>
    </message>
    <message>
        <source>Circ Too small</source>
        <translation>Perímetro demasiado pequeno</translation>
    </message>
    <message>
        <source>Radius %1 mm is outside 0 to 99.99 mm</source>
        <translation>O raio %1 mm está fora de 0 a 99.99 mm</translation>
    </message>
    <message>
        <source>Too many points to scale the shape: %1 (at most %2)</source>
        <translation>Demasiados pontos para escalar a forma: %1 (no máximo %2)</translation>
    </message>
    <message>
        <source>Floating point division by zero</source>
        <translation>Divisão por zero em vírgula flutuante</translation>
    </message>
    <message>
        <source>Invalid floating point operation</source>
        <translation>Operação de vírgula flutuante inválida</translation>
    </message>
    <message>
        <source>The serial port is not open: it has been closed. Choose a port in Settings.</source>
        <translation>A porta série não está aberta: foi fechada. Escolha uma porta nas Definições.</translation>
    </message>
    <message>
        <source>The serial port is not open: %1. Choose a port in Settings.</source>
        <translation>A porta série não está aberta: %1. Escolha uma porta nas Definições.</translation>
    </message>
    <message>
        <source>Unable to open %1: the port is being closed</source>
        <translation>Não é possível abrir %1: a porta está a ser fechada</translation>
    </message>
    <message>
        <source>Unable to open %1: %2</source>
        <translation>Não é possível abrir %1: %2</translation>
    </message>
    <message>
        <source>Unable to set com state: %1</source>
        <translation>Não é possível configurar a porta: %1</translation>
    </message>
    <message>
        <source>Unable to set up comm: %1</source>
        <translation>Não é possível preparar a porta: %1</translation>
    </message>
    <message>
        <source>Unable to start the event thread: %1</source>
        <translation>Não é possível iniciar a thread de eventos: %1</translation>
    </message>
    <message>
        <source>Unable to set comm mask: %1</source>
        <translation>Não é possível definir a máscara de eventos: %1</translation>
    </message>
    <message>
        <source>Operation failed: %1</source>
        <translation>A operação falhou: %1</translation>
    </message>
    <message>
        <source>Operation aborted: %1</source>
        <translation>Operação interrompida: %1</translation>
    </message>
    <message>
        <source>Cannot connect to %1: No such host</source>
        <translation>Não é possível ligar a %1: host desconhecido</translation>
    </message>
    <message>
        <source>Cannot connect to %1: Connection refused</source>
        <translation>Não é possível ligar a %1: ligação recusada</translation>
    </message>
    <message>
        <source>Cannot connect to %1: No answer within %2 s</source>
        <translation>Não é possível ligar a %1: sem resposta em %2 s</translation>
    </message>
    <message>
        <source>Cannot connect to %1: %2</source>
        <translation>Não é possível ligar a %1: %2</translation>
    </message>
    <message>
        <source>The host closed the connection</source>
        <translation>O host fechou a ligação</translation>
    </message>
    <message>
        <source>The connection to the host failed: %1</source>
        <translation>A ligação ao host falhou: %1</translation>
    </message>
    <message>
        <source>The network link is not open</source>
        <translation>A ligação de rede não está aberta</translation>
    </message>
    <message>
        <source>Cannot start the network link: %1</source>
        <translation>Não é possível iniciar a ligação de rede: %1</translation>
    </message>
    <message>
        <source>Cannot start the network: %1</source>
        <translation>Não é possível iniciar a rede: %1</translation>
    </message>
    <message>
        <source>Not a network address: %1</source>
        <translation>Não é um endereço de rede: %1</translation>
    </message>
    <message>
        <source>The sample host did not start: %1</source>
        <translation>O host de exemplo não arrancou: %1</translation>
    </message>
    <message>
        <source>This will attempt to find the host<byte value="xd"/>on all available serial ports at all<byte value="xd"/>available baud rates.<byte value="xd"/><byte value="xd"/>Continue?</source>
        <translation>O host será procurado<byte value="xd"/>em todas as portas série disponíveis a todas<byte value="xd"/>as velocidades disponíveis.<byte value="xd"/><byte value="xd"/>Continuar?</translation>
    </message>
    <message>
        <source>This will attempt to find the host<byte value="xd"/>on %1 at all<byte value="xd"/>available baud rates.<byte value="xd"/><byte value="xd"/>Continue?</source>
        <translation>O host será procurado<byte value="xd"/>em %1 a todas<byte value="xd"/>as velocidades disponíveis.<byte value="xd"/><byte value="xd"/>Continuar?</translation>
    </message>
    <message>
        <source>This will attempt to find the host<byte value="xd"/>on %1.<byte value="xd"/><byte value="xd"/>Continue?</source>
        <translation>O host será procurado<byte value="xd"/>em %1.<byte value="xd"/><byte value="xd"/>Continuar?</translation>
    </message>
    <message>
        <source>Confirm...</source>
        <translation>Confirmar...</translation>
    </message>
    <message>
        <source>Found host on %1</source>
        <translation>Host encontrado em %1</translation>
    </message>
    <message>
        <source>Success!</source>
        <translation>Sucesso!</translation>
    </message>
    <message>
        <source>Cancelled finding the host</source>
        <translation>Procura do host cancelada</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>Cancelado</translation>
    </message>
    <message>
        <source>Did not find host</source>
        <translation>Host não encontrado</translation>
    </message>
    <message>
        <source>Host Not Found</source>
        <translation>Host não encontrado</translation>
    </message>
    <message>
        <source>Unable to access %1</source>
        <translation>Não é possível aceder a %1</translation>
    </message>
    <message>
        <source>Problem...</source>
        <translation>Problema...</translation>
    </message>
    <message>
        <source>Trying %1 at %2 baud...</source>
        <translation>A tentar %1 a %2 baud...</translation>
    </message>
    <message>
        <source>Trying %1...</source>
        <translation>A tentar %1...</translation>
    </message>
    <message>
        <source>Reply matching failed: %1</source>
        <translation>A análise da resposta falhou: %1</translation>
    </message>
    <message>
        <source>Unable to read com status: %1</source>
        <translation>Não é possível ler o estado da porta: %1</translation>
    </message>
    <message>
        <source>Cannot abort operation: %1</source>
        <translation>Não é possível interromper a operação: %1</translation>
    </message>
    <message>
        <source>The device server at %1 does not answer as an rfc2217:// server: if it is a raw TCP port, use socket://%2</source>
        <translation>O servidor de dispositivos %1 não responde como servidor rfc2217://: se for uma porta TCP simples, use socket://%2</translation>
    </message>
</context>
<context>
    <name>TSettingsForm</name>
    <message>
        <source>Settings</source>
        <translation>Definições</translation>
    </message>
    <message>
        <source>COM Port</source>
        <translation>Porta COM</translation>
    </message>
    <message>
        <source>Baud Rate</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>Parity</source>
        <translation>Paridade</translation>
    </message>
    <message>
        <source>Data Bits</source>
        <translation>Bits dados</translation>
    </message>
    <message>
        <source>Stop Bits</source>
        <translation>Bits paragem</translation>
    </message>
    <message>
        <source>Tracer Mode</source>
        <translation>Modo traçador</translation>
    </message>
    <message>
        <source>Pause After Init</source>
        <translation>Pausa após init</translation>
    </message>
    <message>
        <source>Verify Checksums</source>
        <translation>Verificar somas</translation>
    </message>
    <message>
        <source>Ask the host again for a reply damaged on the line. Turn off only for a host known to send wrong checksums.</source>
        <translation>Voltar a pedir ao host uma resposta danificada na linha. Desligue apenas para um host que se sabe enviar somas de verificação erradas.</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Cancelar</translation>
    </message>
    <message>
        <source>Discover &amp;Host</source>
        <translation>Procurar &amp;host</translation>
    </message>
    <message>
        <source>&amp;Language</source>
        <translation>&amp;Idioma</translation>
    </message>
    <message>
        <source>System</source>
        <translation>Sistema</translation>
    </message>
    <message>
        <source>Takes effect at the next start.</source>
        <translation>Aplica-se no próximo arranque.</translation>
    </message>
    <message>
        <source>Not used for socket:// ports: set the line at the device server</source>
        <translation>Não usado em portas socket://: configure a linha no servidor de dispositivos</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Nenhuma</translation>
    </message>
    <message>
        <source>Even</source>
        <translation>Par</translation>
    </message>
    <message>
        <source>Odd</source>
        <translation>Ímpar</translation>
    </message>
    <message>
        <source>Preset Init</source>
        <translation>Init. predefinida</translation>
    </message>
    <message>
        <source>No Init</source>
        <translation>Sem init</translation>
    </message>
</context>
<context>
    <name>TShapePicture</name>
    <message>
        <source>Box A: %1, Box B: %2, Circ: %3</source>
        <translation>Box A: %1, Box B: %2, Perím.: %3</translation>
    </message>
</context>
</TS>
