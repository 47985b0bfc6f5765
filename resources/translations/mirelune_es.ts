<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
<context>
    <name></name>
    <message id="MenuFile">
        <source>Files</source>
        <translation>Archivo</translation>
    </message>
    <message id="Language">
        <source>Language</source>
        <translation>Idioma</translation>
    </message>
    <message id="Help">
        <source>Help</source>
        <translation>Ayuda</translation>
    </message>
    <message id="AddFiles">
        <source>Add Files</source>
        <translation>Añadir archivos</translation>
    </message>
    <message id="RemoveSelected">
        <source>Remove Selected</source>
        <translation>Quitar selección</translation>
    </message>
    <message id="ClearTask">
        <source>Clear List</source>
        <translation>Vaciar lista</translation>
    </message>
    <message id="OutputFormat">
        <source>Output Format</source>
        <translation>Formato de salida</translation>
    </message>
    <message id="OutputDir">
        <source>Output Folder</source>
        <translation>Carpeta de salida</translation>
    </message>
    <message id="OpenFolder">
        <source>Open Folder</source>
        <translation>Abrir carpeta</translation>
    </message>
    <message id="StartConvert">
        <source>Start</source>
        <translation>Iniciar</translation>
    </message>
    <message id="Support">
        <source>Support</source>
        <translation>Soporte</translation>
    </message>
    <message id="Feedback">
        <source>Feedback</source>
        <translation>Comentarios</translation>
    </message>
    <message id="CheckUpdate">
        <source>Check for Updates</source>
        <translation>Buscar actualizaciones</translation>
    </message>
    <message id="About">
        <source>About</source>
        <translation>Acerca de</translation>
    </message>
    <message id="Converting">
        <source>Converting</source>
        <translation>Convirtiendo</translation>
    </message>
    <message id="Cancel">
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message id="Finished">
        <source>Finished</source>
        <translation>Finalizado</translation>
    </message>
    <message id="ConvertFailed">
        <source>Conversion failed</source>
        <translation>Error de conversión</translation>
    </message>
    <message id="DragFiles">
        <source>Drag files here or click Add Files</source>
        <translation>Arrastre archivos aquí o haga clic en «Añadir archivos»</translation>
    </message>
    <message id="ConvertFromPdf">
        <source>Convert from PDF</source>
        <translation>Convertir desde PDF</translation>
    </message>
    <message id="ConvertToPdf">
        <source>Convert to PDF</source>
        <translation>Convertir a PDF</translation>
    </message>
    <message id="MergePdf">
        <source>Merge PDFs</source>
        <translation>Combinar PDF</translation>
    </message>
    <message id="inputFileLookPassword">
        <source>Enter the password to open this file</source>
        <translation>Introduzca la contraseña para abrir este archivo</translation>
    </message>
    <message id="inputFileEidtPassword">
        <source>Enter the permissions password to allow editing</source>
        <translation>Introduzca la contraseña de permisos para permitir la edición</translation>
    </message>
    <message id="canIgnoreIfNot">
        <source>Leave it empty if the file has none</source>
        <translation>Déjelo vacío si el archivo no tiene</translation>
    </message>
    <message id="PasswordError">
        <source>Wrong password</source>
        <translation>Contraseña incorrecta</translation>
    </message>
    <message id="OK">
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
    <message id="UpdateChecking">
        <source>Checking for updates…</source>
        <translation>Buscando actualizaciones…</translation>
    </message>
    <message id="UpdateAvailable">
        <source>A new version is available</source>
        <translation>Hay una nueva versión disponible</translation>
    </message>
    <message id="UpdateAvailableDetail">
        <source>Version %1 is ready to download. You have version %2.</source>
        <translation>La versión %1 está lista para descargar. Tiene la versión %2.</translation>
    </message>
    <message id="UpdateUpToDate">
        <source>You're up to date</source>
        <translation>Está al día</translation>
    </message>
    <message id="UpdateUpToDateDetail">
        <source>Version %1 is the latest version.</source>
        <translation>La versión %1 es la más reciente.</translation>
    </message>
    <message id="UpdateNotConfigured">
        <source>Update checks are not set up</source>
        <translation>La búsqueda de actualizaciones no está configurada</translation>
    </message>
    <message id="UpdateNotConfiguredDetail">
        <source>No update address has been configured for this installation.</source>
        <translation>No hay ninguna dirección de actualización configurada en esta instalación.</translation>
    </message>
    <message id="UpdateFailed">
        <source>Could not check for updates</source>
        <translation>No se pudieron buscar actualizaciones</translation>
    </message>
    <message id="Download">
        <source>Download</source>
        <translation>Descargar</translation>
    </message>
    <message id="Later">
        <source>Later</source>
        <translation>Más tarde</translation>
    </message>
    <message id="Account">
        <source>Account</source>
        <translation>Cuenta</translation>
    </message>
    <message id="AccountSignedIn">
        <source>Signed in</source>
        <translation>Sesión iniciada</translation>
    </message>
    <message id="AccountSignedOut">
        <source>Not signed in</source>
        <translation>Sesión no iniciada</translation>
    </message>
    <message id="AccountToken">
        <source>Identity token: %1</source>
        <translation>Token de identidad: %1</translation>
    </message>
    <message id="AccountTokenHint">
        <source>Paste the identity token of your account to sign in.</source>
        <translation>Pegue el token de identidad de su cuenta para iniciar sesión.</translation>
    </message>
    <message id="AccountTokenPlaceholder">
        <source>Identity token</source>
        <translation>Token de identidad</translation>
    </message>
    <message id="AccountSaveFailed">
        <source>The token could not be saved.</source>
        <translation>No se pudo guardar el token.</translation>
    </message>
    <message id="SignIn">
        <source>Sign In</source>
        <translation>Iniciar sesión</translation>
    </message>
    <message id="SignOut">
        <source>Sign Out</source>
        <translation>Cerrar sesión</translation>
    </message>
    <message id="ReasonUpload">
        <source>Could not be uploaded to the conversion service</source>
        <translation>No se pudo subir al servicio de conversión</translation>
    </message>
    <message id="ReasonCreate">
        <source>The conversion service did not accept the file</source>
        <translation>El servicio de conversión no aceptó el archivo</translation>
    </message>
    <message id="ReasonConvert">
        <source>The conversion service could not convert the file</source>
        <translation>El servicio de conversión no pudo convertir el archivo</translation>
    </message>
    <message id="ReasonDownload">
        <source>The result could not be downloaded into the output folder</source>
        <translation>No se pudo descargar el resultado en la carpeta de salida</translation>
    </message>
    <message id="ReasonService">
        <source>Could not connect to the conversion service</source>
        <translation>No se pudo conectar con el servicio de conversión</translation>
    </message>
    <message id="ReasonCredentials">
        <source>The conversion service refused the upload</source>
        <translation>El servicio de conversión rechazó la subida</translation>
    </message>
    <message id="ReasonMerge">
        <source>The conversion service could not merge the files</source>
        <translation>El servicio de conversión no pudo combinar los archivos</translation>
    </message>
    <message id="SummaryConverted">
        <source>%1 converted</source>
        <translation>%1 convertido(s)</translation>
    </message>
    <message id="SummaryFailed">
        <source>%1 failed</source>
        <translation>%1 con error</translation>
    </message>
    <message id="CurrentFile">
        <source>%1 (%2 of %3)</source>
        <translation>%1 (%2 de %3)</translation>
    </message>
    <message id="Close">
        <source>Close</source>
        <translation>Cerrar</translation>
    </message>
    <message id="OutputFolderUnusable">
        <source>The output folder cannot be created. Choose another output folder.</source>
        <translation>No se puede crear la carpeta de salida. Elija otra carpeta de salida.</translation>
    </message>
    <message id="OpenFolderFailed">
        <source>No program could open this folder. You can copy its path:</source>
        <translation>Ningún programa pudo abrir esta carpeta. Puede copiar su ruta:</translation>
    </message>
    <message id="OpenFileFailed">
        <source>No program could open this file. You can copy its path:</source>
        <translation>Ningún programa pudo abrir este archivo. Puede copiar su ruta:</translation>
    </message>
    <message id="OpenLinkFailed">
        <source>No program could open this address. You can copy it:</source>
        <translation>Ningún programa pudo abrir esta dirección. Puede copiarla:</translation>
    </message>
    <message id="OpenMailFailed">
        <source>No mail program could be opened. You can copy the address:</source>
        <translation>No se pudo abrir ningún programa de correo. Puede copiar la dirección:</translation>
    </message>
    <message id="Copy">
        <source>Copy</source>
        <translation>Copiar</translation>
    </message>
    <message id="OpenResult">
        <source>Open Result</source>
        <translation>Abrir resultado</translation>
    </message>
    <message id="ShowInFolder">
        <source>Show in Folder</source>
        <translation>Mostrar en la carpeta</translation>
    </message>
    <message id="Remove">
        <source>Remove</source>
        <translation>Quitar</translation>
    </message>
    <message id="MoveUp">
        <source>Move Up</source>
        <translation>Subir</translation>
    </message>
    <message id="MoveDown">
        <source>Move Down</source>
        <translation>Bajar</translation>
    </message>
    <message id="AddFolder">
        <source>Add Folder...</source>
        <translation>Añadir carpeta...</translation>
    </message>
    <message id="ResultTooltip">
        <source>Result: %1</source>
        <translation>Resultado: %1</translation>
    </message>
</context>
</TS>
