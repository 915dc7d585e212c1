<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es" sourcelanguage="en">
<context>
    <name>TAbout</name>
    <message>
        <source>&lt;p&gt;&lt;b&gt;Trevalon %1&lt;/b&gt;&lt;br&gt;Frame shape editor for OMA lab hosts&lt;/p&gt;&lt;p&gt;%2&lt;/p&gt;&lt;p&gt;Licensed under the MIT licence (below, under &lt;i&gt;Show Details&lt;/i&gt;).&lt;/p&gt;&lt;p&gt;Trevalon uses Qt %3 under the GNU LGPL version 3, PCRE2 under the BSD licence and Boost under the Boost Software License.</source>
        <translation>&lt;p&gt;&lt;b&gt;Trevalon %1&lt;/b&gt;&lt;br&gt;Editor de formas de montura para hosts de laboratorio OMA&lt;/p&gt;&lt;p&gt;%2&lt;/p&gt;&lt;p&gt;Con licencia MIT (abajo, en &lt;i&gt;Mostrar detalles&lt;/i&gt;).&lt;/p&gt;&lt;p&gt;Trevalon usa Qt %3 bajo la GNU LGPL versión 3, PCRE2 bajo la licencia BSD y Boost bajo la Boost Software License.</translation>
    </message>
    <message>
        <source> Their licence texts are in %1.</source>
        <translation> Sus textos de licencia están en %1.</translation>
    </message>
    <message>
        <source>About Trevalon</source>
        <translation>Acerca de Trevalon</translation>
    </message>
    <message>
        <source>About Qt</source>
        <translation>Acerca de Qt</translation>
    </message>
</context>
<context>
    <name>TCrashReports</name>
    <message>
        <source>Trevalon stopped unexpectedly on %1. A report was saved to %2.</source>
        <translation>Trevalon se detuvo inesperadamente el %1. Se guardó un informe en %2.</translation>
    </message>
    <message>
        <source>Open Report</source>
        <translation>Abrir informe</translation>
    </message>
    <message>
        <source>Open Folder</source>
        <translation>Abrir carpeta</translation>
    </message>
</context>
<context>
    <name>TFindPortForm</name>
    <message>
        <source>Find Host</source>
        <translation>Buscar host</translation>
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
        <translation>No se puede crear el archivo de registro de comunicación: %1</translation>
    </message>
    <message>
        <source>Cannot write the communication log file %1: %2</source>
        <translation>No se puede escribir el archivo de registro de comunicación %1: %2</translation>
    </message>
    <message>
        <source>No viewer could be started for the communication log %1</source>
        <translation>No se pudo iniciar ningún visor para el registro de comunicación %1</translation>
    </message>
    <message>
        <source>No viewer could be started for the help file %1</source>
        <translation>No se pudo iniciar ningún visor para el archivo de ayuda %1</translation>
    </message>
    <message>
        <source>Cannot find the help file %1 or %2</source>
        <translation>No se encuentra el archivo de ayuda %1 ni %2</translation>
    </message>
    <message>
        <source>OMA job file, format 1, received point count (*.oma)</source>
        <translation>Archivo de trabajo OMA, formato 1, número de puntos recibido (*.oma)</translation>
    </message>
    <message>
        <source>OMA job file, format 1, 1024 points (*.oma)</source>
        <translation>Archivo de trabajo OMA, formato 1, 1024 puntos (*.oma)</translation>
    </message>
    <message>
        <source>OMA job file, format 4, received point count (*.oma)</source>
        <translation>Archivo de trabajo OMA, formato 4, número de puntos recibido (*.oma)</translation>
    </message>
    <message>
        <source>OMA job file, format 4, 1024 points (*.oma)</source>
        <translation>Archivo de trabajo OMA, formato 4, 1024 puntos (*.oma)</translation>
    </message>
    <message>
        <source>Open Job File</source>
        <translation>Abrir archivo de trabajo</translation>
    </message>
    <message>
        <source>Save Job File</source>
        <translation>Guardar archivo de trabajo</translation>
    </message>
    <message>
        <source>Save as PDF</source>
        <translation>Guardar como PDF</translation>
    </message>
    <message>
        <source>OMA job files (*.oma)</source>
        <translation>Archivos de trabajo OMA (*.oma)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Todos los archivos (*)</translation>
    </message>
    <message>
        <source>Shape %1</source>
        <translation>Forma %1</translation>
    </message>
    <message>
        <source>PDF files (*.pdf)</source>
        <translation>Archivos PDF (*.pdf)</translation>
    </message>
    <message>
        <source>Try with the sample host</source>
        <translation>Probar con el host de ejemplo</translation>
    </message>
    <message>
        <source>Session transcripts (*.jsonl)</source>
        <translation>Transcripciones de sesión (*.jsonl)</translation>
    </message>
    <message>
        <source>Save Session Transcript</source>
        <translation>Guardar transcripción de sesión</translation>
    </message>
    <message>
        <source>&amp;Tray/Job Number</source>
        <translation>&amp;Nº bandeja/trabajo</translation>
    </message>
    <message>
        <source>Circle</source>
        <translation>Círculo</translation>
    </message>
    <message>
        <source>Square</source>
        <translation>Cuadrado</translation>
    </message>
    <message>
        <source>Diamond</source>
        <translation>Rombo</translation>
    </message>
    <message>
        <source>Flower Pot</source>
        <translation>Maceta</translation>
    </message>
    <message>
        <source>Open Job File...</source>
        <translation>Abrir archivo de trabajo...</translation>
    </message>
    <message>
        <source>Save Job File...</source>
        <translation>Guardar archivo de trabajo...</translation>
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
        <translation>Cuadrícula fina</translation>
    </message>
    <message>
        <source>Rotate Shape One Data Point to the Left</source>
        <translation>Girar la forma un punto a la izquierda</translation>
    </message>
    <message>
        <source>Rotate Shape One Data Point to the Right</source>
        <translation>Girar la forma un punto a la derecha</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Restablecer</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Ayuda</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Ajustes</translation>
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
        <translation>Fijar B en el datum</translation>
    </message>
    <message>
        <source>Display Communication Log</source>
        <translation>Mostrar registro de comunicación</translation>
    </message>
    <message>
        <source>Save Session Transcript...</source>
        <translation>Guardar transcripción de sesión...</translation>
    </message>
    <message>
        <source>About Trevalon...</source>
        <translation>Acerca de Trevalon...</translation>
    </message>
</context>
<context>
    <name>TScreenTexts</name>
    <message>
        <source>Ready</source>
        <translation>Listo</translation>
    </message>
    <message>
        <source>Ver %1</source>
        <translation>Ver. %1</translation>
    </message>
    <message>
        <source>Sent request to initialize</source>
        <translation>Solicitud de inicialización enviada</translation>
    </message>
    <message>
        <source>Sent information specs to host</source>
        <translation>Especificaciones enviadas al host</translation>
    </message>
    <message>
        <source>Requesting job %1</source>
        <translation>Pidiendo el trabajo %1</translation>
    </message>
    <message>
        <source>Requesting to store job %1</source>
        <translation>Pidiendo guardar el trabajo %1</translation>
    </message>
    <message>
        <source>Negotiating trace format with host</source>
        <translation>Negociando el formato de trazado con el host</translation>
    </message>
    <message>
        <source>Received data</source>
        <translation>Datos recibidos</translation>
    </message>
    <message>
        <source>Storing the shape to job %1</source>
        <translation>Guardando la forma en el trabajo %1</translation>
    </message>
    <message>
        <source>Job stored</source>
        <translation>Trabajo guardado</translation>
    </message>
    <message>
        <source>Timeout waiting for host</source>
        <translation>Tiempo de espera agotado esperando al host</translation>
    </message>
    <message>
        <source>The host&apos;s reply was damaged on the line (checksum error); if this host is known to send wrong checksums, turn off checksum verification in Settings</source>
        <translation>La respuesta del host llegó dañada por la línea (error de suma de comprobación); si se sabe que este host envía sumas erróneas, desactive su verificación en Ajustes</translation>
    </message>
    <message>
        <source>Timeout sending to host: %1 of %2 bytes sent</source>
        <translation>Tiempo agotado enviando al host: %1 de %2 bytes enviados</translation>
    </message>
    <message>
        <source>Cannot store a trace of %1 points</source>
        <translation>No se puede guardar un trazado de %1 puntos</translation>
    </message>
    <message>
        <source>Display Log</source>
        <translation>Mostrar registro</translation>
    </message>
    <message>
        <source>Did not get positive response from host</source>
        <translation>No se recibió respuesta positiva del host</translation>
    </message>
    <message>
        <source>Did not receive status 0 on init</source>
        <translation>No se recibió el estado 0 al inicializar</translation>
    </message>
    <message>
        <source>Did not receive DEF from host (init 2)</source>
        <translation>No se recibió DEF del host (init 2)</translation>
    </message>
    <message>
        <source>Did not receive TRCFMT from host (init 2)</source>
        <translation>No se recibió TRCFMT del host (init 2)</translation>
    </message>
    <message>
        <source>Did not find the host&apos;s DEF value</source>
        <translation>No se encontró el valor DEF del host</translation>
    </message>
    <message>
        <source>Did not store the shape to the host</source>
        <translation>La forma no se guardó en el host</translation>
    </message>
    <message>
        <source>Job not found/not available</source>
        <translation>Trabajo no encontrado/no disponible</translation>
    </message>
    <message>
        <source>Reply from host is too complex to read</source>
        <translation>La respuesta del host es demasiado compleja para leerla</translation>
    </message>
    <message>
        <source>Cannot find trace data</source>
        <translation>No se encuentran datos de trazado</translation>
    </message>
    <message>
        <source>Cannot find the trace format (no TRCFMT record)</source>
        <translation>No se encuentra el formato de trazado (sin registro TRCFMT)</translation>
    </message>
    <message>
        <source>Trace type %1 is unsupported</source>
        <translation>El tipo de trazado %1 no es compatible</translation>
    </message>
    <message>
        <source>Trace contains %1 points, but number of points is %2</source>
        <translation>El trazado contiene %1 puntos, pero el número de puntos es %2</translation>
    </message>
    <message>
        <source>Trace data has %1 digits, but %2 points need %3</source>
        <translation>Los datos de trazado tienen %1 dígitos, pero %2 puntos necesitan %3</translation>
    </message>
    <message>
        <source>Trace data holds &quot;%1&quot;, which is not a number</source>
        <translation>Los datos de trazado contienen «%1», que no es un número</translation>
    </message>
    <message>
        <source>Invalid trace data: point %1 has the value %2, outside 0 to 9999</source>
        <translation>Datos de trazado no válidos: el punto %1 tiene el valor %2, fuera de 0 a 9999</translation>
    </message>
    <message>
        <source>Invalid trace data: point %1 has the value %2</source>
        <translation>Datos de trazado no válidos: el punto %1 tiene el valor %2</translation>
    </message>
    <message>
        <source>Invalid trace data: %1 points requested, format 4 allows 0 to 4096</source>
        <translation>Datos de trazado no válidos: se piden %1 puntos, el formato 4 permite de 0 a 4096</translation>
    </message>
    <message>
        <source>Invalid trace data: format 4 data of %1 bytes exceeds 8193 bytes</source>
        <translation>Datos de trazado no válidos: %1 bytes de datos en formato 4 superan 8193 bytes</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid integer value</source>
        <translation>«%1» no es un valor entero válido</translation>
    </message>
    <message>
        <source>Cannot send an empty trace in format 4</source>
        <translation>No se puede enviar un trazado vacío en formato 4</translation>
    </message>
    <message>
        <source>Cannot send a trace of %1 points in format 4 (at most 4096)</source>
        <translation>No se puede enviar un trazado de %1 puntos en formato 4 (4096 como máximo)</translation>
    </message>
    <message>
        <source>Cannot store a trace of %1 points (%2 to %3)</source>
        <translation>No se puede guardar un trazado de %1 puntos (%2 a %3)</translation>
    </message>
    <message>
        <source>Cannot read a trace of %1 points (%2 to %3)</source>
        <translation>No se puede leer un trazado de %1 puntos (%2 a %3)</translation>
    </message>
    <message>
        <source>There is no shape to save</source>
        <translation>No hay ninguna forma que guardar</translation>
    </message>
    <message>
        <source>There is no shape to print</source>
        <translation>No hay ninguna forma que imprimir</translation>
    </message>
    <message>
        <source>There is no session transcript to save yet</source>
        <translation>Todavía no hay ninguna transcripción de sesión que guardar</translation>
    </message>
    <message>
        <source>Wait until the conversation with the host has ended</source>
        <translation>Espere a que termine la comunicación con el host</translation>
    </message>
    <message>
        <source>Opened job file %1 (right eye)</source>
        <translation>Archivo de trabajo %1 abierto (ojo derecho)</translation>
    </message>
    <message>
        <source>Opened job file %1 (left eye)</source>
        <translation>Archivo de trabajo %1 abierto (ojo izquierdo)</translation>
    </message>
    <message>
        <source>Opened job file %1 (both eyes)</source>
        <translation>Archivo de trabajo %1 abierto (ambos ojos)</translation>
    </message>
    <message>
        <source>Opened job file %1</source>
        <translation>Archivo de trabajo %1 abierto</translation>
    </message>
    <message>
        <source>Saved job file %1</source>
        <translation>Archivo de trabajo %1 guardado</translation>
    </message>
    <message>
        <source>Saved %1</source>
        <translation>%1 guardado</translation>
    </message>
    <message>
        <source>Shape printed</source>
        <translation>Forma impresa</translation>
    </message>
    <message>
        <source>Cannot save the session transcript: %1</source>
        <translation>No se puede guardar la transcripción de sesión: %1</translation>
    </message>
    <message>
        <source>Cannot read the job file: it is not a file</source>
        <translation>No se puede leer el archivo de trabajo: no es un archivo</translation>
    </message>
    <message>
        <source>Cannot read the job file: %1</source>
        <translation>No se puede leer el archivo de trabajo: %1</translation>
    </message>
    <message>
        <source>Cannot write the job file: %1</source>
        <translation>No se puede escribir el archivo de trabajo: %1</translation>
    </message>
    <message>
        <source>The file is too large for a job file (%1 KiB, at most %2 KiB)</source>
        <translation>El archivo es demasiado grande para un archivo de trabajo (%1 KiB, %2 KiB como máximo)</translation>
    </message>
    <message>
        <source>The file is too large for a job file (at most %1 KiB)</source>
        <translation>El archivo es demasiado grande para un archivo de trabajo (%1 KiB como máximo)</translation>
    </message>
    <message>
        <source>Tray number may only contain Latin-1 characters</source>
        <translation>El número de bandeja solo puede contener caracteres Latin-1</translation>
    </message>
    <message>
        <source>Box A Too small</source>
        <translation>Box A demasiado pequeño</translation>
    </message>
    <message>
        <source>Box B Too small</source>
        <translation>Box B demasiado pequeño</translation>
    </message>
    <message>
        <source>Circ Too small</source>
        <translation>Circunferencia demasiado pequeña</translation>
    </message>
    <message>
        <source>Radius %1 mm is outside 0 to 99.99 mm</source>
        <translation>El radio %1 mm está fuera de 0 a 99.99 mm</translation>
    </message>
    <message>
        <source>Too many points to scale the shape: %1 (at most %2)</source>
        <translation>Demasiados puntos para escalar la forma: %1 (%2 como máximo)</translation>
    </message>
    <message>
        <source>Floating point division by zero</source>
        <translation>División por cero en coma flotante</translation>
    </message>
    <message>
        <source>Invalid floating point operation</source>
        <translation>Operación de coma flotante no válida</translation>
    </message>
    <message>
        <source>The serial port is not open: it has been closed. Choose a port in Settings.</source>
        <translation>El puerto serie no está abierto: se ha cerrado. Elija un puerto en Ajustes.</translation>
    </message>
    <message>
        <source>The serial port is not open: %1. Choose a port in Settings.</source>
        <translation>El puerto serie no está abierto: %1. Elija un puerto en Ajustes.</translation>
    </message>
    <message>
        <source>Unable to open %1: the port is being closed</source>
        <translation>No se puede abrir %1: el puerto se está cerrando</translation>
    </message>
    <message>
        <source>Unable to open %1: %2</source>
        <translation>No se puede abrir %1: %2</translation>
    </message>
    <message>
        <source>Unable to set com state: %1</source>
        <translation>No se puede configurar el puerto: %1</translation>
    </message>
    <message>
        <source>Unable to set up comm: %1</source>
        <translation>No se puede preparar el puerto: %1</translation>
    </message>
    <message>
        <source>Unable to start the event thread: %1</source>
        <translation>No se puede iniciar el hilo de eventos: %1</translation>
    </message>
    <message>
        <source>Unable to set comm mask: %1</source>
        <translation>No se puede establecer la máscara de eventos: %1</translation>
    </message>
    <message>
        <source>Operation failed: %1</source>
        <translation>Falló la operación: %1</translation>
    </message>
    <message>
        <source>Operation aborted: %1</source>
        <translation>Operación interrumpida: %1</translation>
    </message>
    <message>
        <source>Cannot connect to %1: No such host</source>
        <translation>No se puede conectar con %1: host desconocido</translation>
    </message>
    <message>
        <source>Cannot connect to %1: Connection refused</source>
        <translation>No se puede conectar con %1: conexión rechazada</translation>
    </message>
    <message>
        <source>Cannot connect to %1: No answer within %2 s</source>
        <translation>No se puede conectar con %1: sin respuesta en %2 s</translation>
    </message>
    <message>
        <source>Cannot connect to %1: %2</source>
        <translation>No se puede conectar con %1: %2</translation>
    </message>
    <message>
        <source>The host closed the connection</source>
        <translation>El host cerró la conexión</translation>
    </message>
    <message>
        <source>The connection to the host failed: %1</source>
        <translation>Falló la conexión con el host: %1</translation>
    </message>
    <message>
        <source>The network link is not open</source>
        <translation>El enlace de red no está abierto</translation>
    </message>
    <message>
        <source>Cannot start the network link: %1</source>
        <translation>No se puede iniciar el enlace de red: %1</translation>
    </message>
    <message>
        <source>Cannot start the network: %1</source>
        <translation>No se puede iniciar la red: %1</translation>
    </message>
    <message>
        <source>Not a network address: %1</source>
        <translation>No es una dirección de red: %1</translation>
    </message>
    <message>
        <source>The sample host did not start: %1</source>
        <translation>El host de ejemplo no se inició: %1</translation>
    </message>
    <message>
        <source>This will attempt to find the host<byte value="xd"/>on all available serial ports at all<byte value="xd"/>available baud rates.<byte value="xd"/><byte value="xd"/>Continue?</source>
        <translation>Se buscará el host<byte value="xd"/>en todos los puertos serie disponibles a todas<byte value="xd"/>las velocidades disponibles.<byte value="xd"/><byte value="xd"/>¿Continuar?</translation>
    </message>
    <message>
        <source>This will attempt to find the host<byte value="xd"/>on %1 at all<byte value="xd"/>available baud rates.<byte value="xd"/><byte value="xd"/>Continue?</source>
        <translation>Se buscará el host<byte value="xd"/>en %1 a todas<byte value="xd"/>las velocidades disponibles.<byte value="xd"/><byte value="xd"/>¿Continuar?</translation>
    </message>
    <message>
        <source>This will attempt to find the host<byte value="xd"/>on %1.<byte value="xd"/><byte value="xd"/>Continue?</source>
        <translation>Se buscará el host<byte value="xd"/>en %1.<byte value="xd"/><byte value="xd"/>¿Continuar?</translation>
    </message>
    <message>
        <source>Confirm...</source>
        <translation>Confirmar...</translation>
    </message>
    <message>
        <source>Found host on %1</source>
        <translation>Host encontrado en %1</translation>
    </message>
    <message>
        <source>Success!</source>
        <translation>¡Éxito!</translation>
    </message>
    <message>
        <source>Cancelled finding the host</source>
        <translation>Búsqueda del host cancelada</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>Cancelado</translation>
    </message>
    <message>
        <source>Did not find host</source>
        <translation>No se encontró el host</translation>
    </message>
    <message>
        <source>Host Not Found</source>
        <translation>Host no encontrado</translation>
    </message>
    <message>
        <source>Unable to access %1</source>
        <translation>No se puede acceder a %1</translation>
    </message>
    <message>
        <source>Problem...</source>
        <translation>Problema...</translation>
    </message>
    <message>
        <source>Trying %1 at %2 baud...</source>
        <translation>Probando %1 a %2 baudios...</translation>
    </message>
    <message>
        <source>Trying %1...</source>
        <translation>Probando %1...</translation>
    </message>
    <message>
        <source>Reply matching failed: %1</source>
        <translation>Falló el análisis de la respuesta: %1</translation>
    </message>
    <message>
        <source>Unable to read com status: %1</source>
        <translation>No se puede leer el estado del puerto: %1</translation>
    </message>
    <message>
        <source>Cannot abort operation: %1</source>
        <translation>No se puede interrumpir la operación: %1</translation>
    </message>
    <message>
        <source>The device server at %1 does not answer as an rfc2217:// server: if it is a raw TCP port, use socket://%2</source>
        <translation>El servidor de dispositivos %1 no responde como servidor rfc2217://: si es un puerto TCP sin más, use socket://%2</translation>
    </message>
</context>
<context>
    <name>TSettingsForm</name>
    <message>
        <source>Settings</source>
        <translation>Ajustes</translation>
    </message>
    <message>
        <source>COM Port</source>
        <translation>Puerto COM</translation>
    </message>
    <message>
        <source>Baud Rate</source>
        <translation>Baudios</translation>
    </message>
    <message>
        <source>Parity</source>
        <translation>Paridad</translation>
    </message>
    <message>
        <source>Data Bits</source>
        <translation>Bits datos</translation>
    </message>
    <message>
        <source>Stop Bits</source>
        <translation>Bits parada</translation>
    </message>
    <message>
        <source>Tracer Mode</source>
        <translation>Modo trazador</translation>
    </message>
    <message>
        <source>Pause After Init</source>
        <translation>Pausa tras init</translation>
    </message>
    <message>
        <source>Verify Checksums</source>
        <translation>Verificar sumas</translation>
    </message>
    <message>
        <source>Ask the host again for a reply damaged on the line. Turn off only for a host known to send wrong checksums.</source>
        <translation>Volver a pedir al host una respuesta dañada en la línea. Desactívelo solo para un host que se sabe que envía sumas de comprobación erróneas.</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;Aceptar</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Cancelar</translation>
    </message>
    <message>
        <source>Discover &amp;Host</source>
        <translation>Buscar &amp;host</translation>
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
        <translation>Se aplica en el próximo inicio.</translation>
    </message>
    <message>
        <source>Not used for socket:// ports: set the line at the device server</source>
        <translation>No se usa en puertos socket://: configure la línea en el servidor de dispositivos</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Ninguna</translation>
    </message>
    <message>
        <source>Even</source>
        <translation>Par</translation>
    </message>
    <message>
        <source>Odd</source>
        <translation>Impar</translation>
    </message>
    <message>
        <source>Preset Init</source>
        <translation>Init. predefinida</translation>
    </message>
    <message>
        <source>No Init</source>
        <translation>Sin init</translation>
    </message>
</context>
<context>
    <name>TShapePicture</name>
    <message>
        <source>Box A: %1, Box B: %2, Circ: %3</source>
        <translation>Box A: %1, Box B: %2, Circ.: %3</translation>
    </message>
</context>
</TS>
