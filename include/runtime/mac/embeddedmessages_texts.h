// The texts of the message catalogue, one namespace per language, shared by
// the bootstrapper's table (embeddedmessages.cpp) and the launcher's
// (launchermessages.cpp) so the launcher's alert says exactly what the
// bootstrapper says for the same situation. Each program emits only the
// texts its table uses.
//
// m0 ... m10 are the texts of message identifiers 0 to 10. LF separates lines;
// no text ends with one. The two addresses come from the deployment inputs
// (cmake/Deployment.cmake); every language names the same pages, which are
// expected to offer their own choice of language. The address in messages 0,
// 1 and 6 is plain text; message 8 carries the one link of the catalogue, as
// <a href='address'>link text</a>.
#pragma once

#include "VantorDeployment.h"

#define VANTOR_MSG_DL VANTOR_RUNTIME_DOWNLOAD_PAGE_W
#define VANTOR_MSG_REQ(text) L"<a href='" VANTOR_SYSTEM_REQUIREMENTS_PAGE_W L"'>" text L"</a>"

namespace embeddedtext {

namespace de {
inline constexpr wchar_t m0[] =
    L"Dieses Programm benötigt eine Version von Brenmoor Vantor, die nicht gefunden werden kann.\n"
    L"Bitte laden Sie die neueste Version der Laufzeitumgebung von\n" VANTOR_MSG_DL L" herunter\n"
    L"oder wenden Sie sich an den Hersteller des Programms, um eine aktualisierte Version zu erhalten.";
inline constexpr wchar_t m1[] =
    L"Beim Installieren dieses Programms ist ein Fehler aufgetreten.\n"
    L"Bitte installieren Sie die neueste Version von Brenmoor Vantor von\n" VANTOR_MSG_DL
    L" und versuchen Sie es dann erneut.";
inline constexpr wchar_t m2[] = L"OK";
inline constexpr wchar_t m3[] = L"Abbrechen";
inline constexpr wchar_t m4[] = L"Bitte warten.";
inline constexpr wchar_t m5[] =
    L"Brenmoor Vantor konnte nicht heruntergeladen werden. Stellen Sie sicher, dass eine "
    L"Netzwerkverbindung besteht, und versuchen Sie es erneut.";
inline constexpr wchar_t m6[] =
    L"Die heruntergeladene Version von Brenmoor Vantor konnte nicht überprüft werden.\n"
    L"Bitte installieren Sie die neueste Version von Brenmoor Vantor von\n" VANTOR_MSG_DL L"\n"
    L"und versuchen Sie dann erneut, dieses Programm zu installieren.";
inline constexpr wchar_t m7[] = L"Download wird überprüft...";
inline constexpr wchar_t m8[] =
    L"Dieses Programm benötigt ein Update von Brenmoor Vantor, das für Ihr System nicht verfügbar "
    L"ist. Bitte lesen Sie die " VANTOR_MSG_REQ(L"Systemvoraussetzungen")
    L" für Brenmoor Vantor und aktualisieren Sie Ihr System entsprechend.";
inline constexpr wchar_t m9[] = L"Installation von ";
inline constexpr wchar_t m10[] =
    L"Dieses Programm benötigt ein Update von Brenmoor Vantor, aber Ihr Administrator erlaubt "
    L"nicht, dieses Update auf Ihr System herunterzuladen. Bitte wenden Sie sich an Ihren "
    L"Administrator.";
}  // namespace de

namespace en {
inline constexpr wchar_t m0[] =
    L"This application requires a version of Brenmoor Vantor which cannot be found.\n"
    L"Please download the latest version of the runtime from\n" VANTOR_MSG_DL L",\n"
    L"or contact the application author for an updated version.";
inline constexpr wchar_t m1[] =
    L"Something went wrong trying to install this application.\n"
    L"Please install the latest version of Brenmoor Vantor from\n" VANTOR_MSG_DL
    L" and then try again.";
inline constexpr wchar_t m2[] = L"OK";
inline constexpr wchar_t m3[] = L"Cancel";
inline constexpr wchar_t m4[] = L"Please wait.";
inline constexpr wchar_t m5[] =
    L"Unable to download Brenmoor Vantor. Make sure that you\u2019re connected to the network and "
    L"try again.";
inline constexpr wchar_t m6[] =
    L"Unable to validate the downloaded version of Brenmoor Vantor.\n"
    L"Please install the latest version of Brenmoor Vantor from\n" VANTOR_MSG_DL L",\n"
    L"then retry installing this application.";
inline constexpr wchar_t m7[] = L"Verifying download...";
inline constexpr wchar_t m8[] =
    L"This application requires an update to Brenmoor Vantor that is not available for your "
    L"system. Please view the " VANTOR_MSG_REQ(L"system requirements")
    L" for Brenmoor Vantor and update your system accordingly.";
inline constexpr wchar_t m9[] = L"Installing ";
inline constexpr wchar_t m10[] =
    L"This application requires an update to Brenmoor Vantor but downloading that update on your "
    L"system is not allowed by your administrator. Please contact your administrator.";
}  // namespace en

namespace es {
inline constexpr wchar_t m0[] =
    L"Esta aplicación requiere una versión de Brenmoor Vantor que no se encuentra.\n"
    L"Descargue la última versión del entorno de ejecución desde\n" VANTOR_MSG_DL L"\n"
    L"o póngase en contacto con el autor de la aplicación para obtener una versión actualizada.";
inline constexpr wchar_t m1[] =
    L"Se ha producido un error al intentar instalar esta aplicación.\n"
    L"Instale la última versión de Brenmoor Vantor desde\n" VANTOR_MSG_DL
    L" y vuelva a intentarlo.";
inline constexpr wchar_t m2[] = L"Aceptar";
inline constexpr wchar_t m3[] = L"Cancelar";
inline constexpr wchar_t m4[] = L"Espere, por favor.";
inline constexpr wchar_t m5[] =
    L"No se puede descargar Brenmoor Vantor. Asegúrese de que está conectado a la red y vuelva a "
    L"intentarlo.";
inline constexpr wchar_t m6[] =
    L"No se puede validar la versión descargada de Brenmoor Vantor.\n"
    L"Instale la última versión de Brenmoor Vantor desde\n" VANTOR_MSG_DL L"\n"
    L"y vuelva a intentar instalar esta aplicación.";
inline constexpr wchar_t m7[] = L"Verificando la descarga...";
inline constexpr wchar_t m8[] =
    L"Esta aplicación requiere una actualización de Brenmoor Vantor que no está disponible para su "
    L"sistema. Consulte los " VANTOR_MSG_REQ(L"requisitos del sistema")
    L" de Brenmoor Vantor y actualice su sistema en consecuencia.";
inline constexpr wchar_t m9[] = L"Instalando ";
inline constexpr wchar_t m10[] =
    L"Esta aplicación requiere una actualización de Brenmoor Vantor, pero el administrador no "
    L"permite descargar esa actualización en su sistema. Póngase en contacto con el administrador.";
}  // namespace es

namespace fr {
inline constexpr wchar_t m0[] =
    L"Cette application nécessite une version de Brenmoor Vantor introuvable.\n"
    L"Veuillez télécharger la dernière version de l\u2019environnement d\u2019exécution à l\u2019adresse\n"
    VANTOR_MSG_DL L"\n"
    L"ou contacter l\u2019auteur de l\u2019application pour obtenir une version mise à jour.";
inline constexpr wchar_t m1[] =
    L"Un problème est survenu lors de l\u2019installation de cette application.\n"
    L"Veuillez installer la dernière version de Brenmoor Vantor à partir de\n" VANTOR_MSG_DL
    L", puis réessayer.";
inline constexpr wchar_t m2[] = L"OK";
inline constexpr wchar_t m3[] = L"Annuler";
inline constexpr wchar_t m4[] = L"Veuillez patienter.";
inline constexpr wchar_t m5[] =
    L"Impossible de télécharger Brenmoor Vantor. Vérifiez que vous êtes connecté au réseau, puis "
    L"réessayez.";
inline constexpr wchar_t m6[] =
    L"Impossible de valider la version téléchargée de Brenmoor Vantor.\n"
    L"Veuillez installer la dernière version de Brenmoor Vantor à partir de\n" VANTOR_MSG_DL L",\n"
    L"puis relancer l\u2019installation de cette application.";
inline constexpr wchar_t m7[] = L"Vérification du téléchargement...";
inline constexpr wchar_t m8[] =
    L"Cette application nécessite une mise à jour de Brenmoor Vantor qui n\u2019est pas disponible "
    L"pour votre système. Veuillez consulter la " VANTOR_MSG_REQ(L"configuration requise")
    L" de Brenmoor Vantor et mettre à jour votre système en conséquence.";
inline constexpr wchar_t m9[] = L"Installation de ";
inline constexpr wchar_t m10[] =
    L"Cette application nécessite une mise à jour de Brenmoor Vantor, mais votre administrateur "
    L"n\u2019autorise pas le téléchargement de cette mise à jour sur votre système. Veuillez "
    L"contacter votre administrateur.";
}  // namespace fr

namespace it {
inline constexpr wchar_t m0[] =
    L"Questa applicazione richiede una versione di Brenmoor Vantor che non è stata trovata.\n"
    L"Scarica la versione più recente dell\u2019ambiente di esecuzione da\n" VANTOR_MSG_DL L"\n"
    L"oppure contatta l\u2019autore dell\u2019applicazione per ottenere una versione aggiornata.";
inline constexpr wchar_t m1[] =
    L"Si è verificato un problema durante l\u2019installazione di questa applicazione.\n"
    L"Installa la versione più recente di Brenmoor Vantor da\n" VANTOR_MSG_DL L" e riprova.";
inline constexpr wchar_t m2[] = L"OK";
inline constexpr wchar_t m3[] = L"Annulla";
inline constexpr wchar_t m4[] = L"Attendi.";
inline constexpr wchar_t m5[] =
    L"Impossibile scaricare Brenmoor Vantor. Verifica di essere connesso alla rete e riprova.";
inline constexpr wchar_t m6[] =
    L"Impossibile convalidare la versione scaricata di Brenmoor Vantor.\n"
    L"Installa la versione più recente di Brenmoor Vantor da\n" VANTOR_MSG_DL L",\n"
    L"quindi riprova a installare questa applicazione.";
inline constexpr wchar_t m7[] = L"Verifica del download...";
inline constexpr wchar_t m8[] =
    L"Questa applicazione richiede un aggiornamento di Brenmoor Vantor non disponibile per il tuo "
    L"sistema. Consulta i " VANTOR_MSG_REQ(L"requisiti di sistema")
    L" di Brenmoor Vantor e aggiorna il sistema di conseguenza.";
inline constexpr wchar_t m9[] = L"Installazione di ";
inline constexpr wchar_t m10[] =
    L"Questa applicazione richiede un aggiornamento di Brenmoor Vantor, ma l\u2019amministratore non "
    L"consente di scaricare tale aggiornamento sul tuo sistema. Contatta l\u2019amministratore.";
}  // namespace it

namespace ja {
inline constexpr wchar_t m0[] =
    L"このアプリケーションに必要なバージョンの Brenmoor Vantor が見つかりません。\n"
    L"最新バージョンのランタイムを\n" VANTOR_MSG_DL L" からダウンロードするか、\n"
    L"アプリケーションの作成者に更新版をお問い合わせください。";
inline constexpr wchar_t m1[] =
    L"このアプリケーションのインストール中に問題が発生しました。\n"
    L"最新バージョンの Brenmoor Vantor を\n" VANTOR_MSG_DL
    L" からインストールしてから、もう一度お試しください。";
inline constexpr wchar_t m2[] = L"OK";
inline constexpr wchar_t m3[] = L"キャンセル";
inline constexpr wchar_t m4[] = L"お待ちください。";
inline constexpr wchar_t m5[] =
    L"Brenmoor Vantor をダウンロードできません。ネットワークに接続されていることを確認してから、"
    L"もう一度お試しください。";
inline constexpr wchar_t m6[] =
    L"ダウンロードした Brenmoor Vantor を検証できませんでした。\n"
    L"最新バージョンの Brenmoor Vantor を\n" VANTOR_MSG_DL L" からインストールしてから、\n"
    L"このアプリケーションのインストールをもう一度お試しください。";
inline constexpr wchar_t m7[] = L"ダウンロードを検証しています...";
inline constexpr wchar_t m8[] =
    L"このアプリケーションには、お使いのシステムでは利用できない Brenmoor Vantor "
    L"のアップデートが必要です。Brenmoor Vantor の" VANTOR_MSG_REQ(L"システム要件")
    L"を確認し、それに合わせてシステムをアップデートしてください。";
inline constexpr wchar_t m9[] = L"インストール中\uFF1A";
inline constexpr wchar_t m10[] =
    L"このアプリケーションには Brenmoor Vantor のアップデートが必要ですが、管理者によって"
    L"お使いのシステムへのアップデートのダウンロードが許可されていません。管理者にお問い合わせください。";
}  // namespace ja

namespace ko {
// Three lines: Korean puts the address before the verb, so it opens the
// second line instead of standing on a line of its own.
inline constexpr wchar_t m0[] =
    L"이 응용 프로그램에 필요한 Brenmoor Vantor 버전을 찾을 수 없습니다.\n"
    VANTOR_MSG_DL L"에서 최신 버전의 런타임을 다운로드하거나\n"
    L"응용 프로그램 작성자에게 업데이트된 버전을 문의하십시오.";
inline constexpr wchar_t m1[] =
    L"이 응용 프로그램을 설치하는 동안 문제가 발생했습니다.\n"
    L"최신 버전의 Brenmoor Vantor를\n" VANTOR_MSG_DL L"에서 설치한 다음 다시 시도하십시오.";
inline constexpr wchar_t m2[] = L"확인";
inline constexpr wchar_t m3[] = L"취소";
inline constexpr wchar_t m4[] = L"잠시 기다려 주십시오.";
inline constexpr wchar_t m5[] =
    L"Brenmoor Vantor를 다운로드할 수 없습니다. 네트워크에 연결되어 있는지 확인한 후 다시 "
    L"시도하십시오.";
inline constexpr wchar_t m6[] =
    L"다운로드한 Brenmoor Vantor 버전의 유효성을 확인할 수 없습니다.\n"
    L"최신 버전의 Brenmoor Vantor를\n" VANTOR_MSG_DL L"에서 설치한 다음\n"
    L"이 응용 프로그램을 다시 설치해 보십시오.";
inline constexpr wchar_t m7[] = L"다운로드 확인 중...";
inline constexpr wchar_t m8[] =
    L"이 응용 프로그램에는 사용 중인 시스템에서 사용할 수 없는 Brenmoor Vantor 업데이트가 "
    L"필요합니다. Brenmoor Vantor의 " VANTOR_MSG_REQ(L"시스템 요구 사항")
    L"을 확인하고 그에 맞게 시스템을 업데이트하십시오.";
inline constexpr wchar_t m9[] = L"설치 중 ";
inline constexpr wchar_t m10[] =
    L"이 응용 프로그램에는 Brenmoor Vantor 업데이트가 필요하지만 관리자가 이 시스템에서 해당 "
    L"업데이트의 다운로드를 허용하지 않았습니다. 관리자에게 문의하십시오.";
}  // namespace ko

namespace pt {
inline constexpr wchar_t m0[] =
    L"Este aplicativo requer uma versão do Brenmoor Vantor que não foi encontrada.\n"
    L"Baixe a versão mais recente do ambiente de execução em\n" VANTOR_MSG_DL L"\n"
    L"ou entre em contato com o autor do aplicativo para obter uma versão atualizada.";
inline constexpr wchar_t m1[] =
    L"Ocorreu um erro ao tentar instalar este aplicativo.\n"
    L"Instale a versão mais recente do Brenmoor Vantor em\n" VANTOR_MSG_DL L" e tente novamente.";
inline constexpr wchar_t m2[] = L"OK";
inline constexpr wchar_t m3[] = L"Cancelar";
inline constexpr wchar_t m4[] = L"Aguarde.";
inline constexpr wchar_t m5[] =
    L"Não foi possível baixar o Brenmoor Vantor. Verifique se você está conectado à rede e tente "
    L"novamente.";
inline constexpr wchar_t m6[] =
    L"Não foi possível validar a versão baixada do Brenmoor Vantor.\n"
    L"Instale a versão mais recente do Brenmoor Vantor em\n" VANTOR_MSG_DL L"\n"
    L"e tente instalar este aplicativo novamente.";
inline constexpr wchar_t m7[] = L"Verificando o download...";
inline constexpr wchar_t m8[] =
    L"Este aplicativo requer uma atualização do Brenmoor Vantor que não está disponível para o seu "
    L"sistema. Consulte os " VANTOR_MSG_REQ(L"requisitos do sistema")
    L" do Brenmoor Vantor e atualize o seu sistema de acordo.";
inline constexpr wchar_t m9[] = L"Instalando  ";
inline constexpr wchar_t m10[] =
    L"Este aplicativo requer uma atualização do Brenmoor Vantor, mas o download dessa atualização "
    L"no seu sistema não é permitido pelo administrador. Entre em contato com o administrador.";
}  // namespace pt

namespace ru {
inline constexpr wchar_t m0[] =
    L"Для работы этого приложения требуется версия Brenmoor Vantor, которую не удалось найти.\n"
    L"Загрузите последнюю версию среды выполнения с сайта\n" VANTOR_MSG_DL L"\n"
    L"или обратитесь к автору приложения за обновлённой версией.";
inline constexpr wchar_t m1[] =
    L"При установке этого приложения произошла ошибка.\n"
    L"Установите последнюю версию Brenmoor Vantor с сайта\n" VANTOR_MSG_DL
    L" и повторите попытку.";
inline constexpr wchar_t m2[] = L"ОК";  // Cyrillic letters, as Russian interfaces write it
inline constexpr wchar_t m3[] = L"Отменить";
inline constexpr wchar_t m4[] = L"Подождите.";
inline constexpr wchar_t m5[] =
    L"Не удалось загрузить Brenmoor Vantor. Убедитесь, что компьютер подключён к сети, и "
    L"повторите попытку.";
inline constexpr wchar_t m6[] =
    L"Не удалось проверить загруженную версию Brenmoor Vantor.\n"
    L"Установите последнюю версию Brenmoor Vantor с сайта\n" VANTOR_MSG_DL L",\n"
    L"а затем повторите установку этого приложения.";
inline constexpr wchar_t m7[] = L"Проверка загрузки...";
inline constexpr wchar_t m8[] =
    L"Для этого приложения требуется обновление Brenmoor Vantor, недоступное для вашей системы. "
    L"Ознакомьтесь с " VANTOR_MSG_REQ(L"системными требованиями")
    L" Brenmoor Vantor и обновите систему в соответствии с ними.";
inline constexpr wchar_t m9[] = L"Установка...";
inline constexpr wchar_t m10[] =
    L"Для этого приложения требуется обновление Brenmoor Vantor, однако администратор запретил "
    L"загрузку этого обновления в вашей системе. Обратитесь к администратору.";
}  // namespace ru

namespace zh_hans {
inline constexpr wchar_t m0[] =
    L"找不到此应用程序所需版本的 Brenmoor Vantor。\n"
    L"请从以下网址下载最新版本的运行时：\n" VANTOR_MSG_DL L"，\n"
    L"或联系应用程序作者获取更新的版本。";
inline constexpr wchar_t m1[] =
    L"尝试安装此应用程序时出错。\n"
    L"请从以下网址安装最新版本的 Brenmoor Vantor：\n" VANTOR_MSG_DL L"，然后重试。";
inline constexpr wchar_t m2[] = L"确定";
inline constexpr wchar_t m3[] = L"取消";
inline constexpr wchar_t m4[] = L"请稍候。";
inline constexpr wchar_t m5[] = L"无法下载 Brenmoor Vantor。请确保已连接到网络，然后重试。";
inline constexpr wchar_t m6[] =
    L"无法验证已下载的 Brenmoor Vantor 版本。\n"
    L"请从以下网址安装最新版本的 Brenmoor Vantor：\n" VANTOR_MSG_DL L"，\n"
    L"然后重新安装此应用程序。";
inline constexpr wchar_t m7[] = L"正在验证下载...";
inline constexpr wchar_t m8[] =
    L"此应用程序需要的 Brenmoor Vantor 更新不适用于您的系统。请查看 Brenmoor Vantor 的"
    VANTOR_MSG_REQ(L"系统要求") L"，并相应地更新您的系统。";
inline constexpr wchar_t m9[] = L"正在安装 ";
inline constexpr wchar_t m10[] =
    L"此应用程序需要更新 Brenmoor Vantor，但您的管理员不允许在您的系统上下载该更新。请联系您的管理员。";
}  // namespace zh_hans

namespace zh_hant {
inline constexpr wchar_t m0[] =
    L"找不到此應用程式所需版本的 Brenmoor Vantor。\n"
    L"請從以下網址下載最新版本的執行環境：\n" VANTOR_MSG_DL L"，\n"
    L"或聯絡應用程式作者以取得更新的版本。";
inline constexpr wchar_t m1[] =
    L"嘗試安裝此應用程式時發生問題。\n"
    L"請從以下網址安裝最新版本的 Brenmoor Vantor：\n" VANTOR_MSG_DL L"，然後再試一次。";
inline constexpr wchar_t m2[] = L"確定";
inline constexpr wchar_t m3[] = L"取消";
inline constexpr wchar_t m4[] = L"請稍候。";
inline constexpr wchar_t m5[] = L"無法下載 Brenmoor Vantor。請確定已連線至網路，然後再試一次。";
inline constexpr wchar_t m6[] =
    L"無法驗證已下載的 Brenmoor Vantor 版本。\n"
    L"請從以下網址安裝最新版本的 Brenmoor Vantor：\n" VANTOR_MSG_DL L"，\n"
    L"然後重新安裝此應用程式。";
inline constexpr wchar_t m7[] = L"正在驗證下載項目...";
inline constexpr wchar_t m8[] =
    L"此應用程式需要的 Brenmoor Vantor 更新無法在您的系統上使用。請檢視 Brenmoor Vantor 的"
    VANTOR_MSG_REQ(L"系統需求") L"，並據此更新您的系統。";
inline constexpr wchar_t m9[] = L"正在安裝  ";
inline constexpr wchar_t m10[] =
    L"此應用程式需要更新 Brenmoor Vantor，但您的管理員不允許在您的系統上下載該更新。請聯絡您的管理員。";
}  // namespace zh_hant

namespace cs {
inline constexpr wchar_t m0[] =
    L"Tato aplikace vyžaduje verzi Brenmoor Vantor, kterou nelze najít.\n"
    L"Stáhněte si nejnovější verzi běhového prostředí z adresy\n" VANTOR_MSG_DL L"\n"
    L"nebo požádejte autora aplikace o aktualizovanou verzi.";
inline constexpr wchar_t m1[] =
    L"Při pokusu o instalaci této aplikace došlo k chybě.\n"
    L"Nainstalujte nejnovější verzi Brenmoor Vantor z adresy\n" VANTOR_MSG_DL
    L" a zkuste to znovu.";
inline constexpr wchar_t m2[] = L"OK";
inline constexpr wchar_t m3[] = L"Zrušit";
inline constexpr wchar_t m4[] = L"Čekejte prosím.";
inline constexpr wchar_t m5[] =
    L"Brenmoor Vantor nelze stáhnout. Zkontrolujte, zda jste připojeni k síti, a zkuste to znovu.";
inline constexpr wchar_t m6[] =
    L"Staženou verzi Brenmoor Vantor nelze ověřit.\n"
    L"Nainstalujte nejnovější verzi Brenmoor Vantor z adresy\n" VANTOR_MSG_DL L"\n"
    L"a potom zkuste tuto aplikaci nainstalovat znovu.";
inline constexpr wchar_t m7[] = L"Ověřování staženého souboru...";
inline constexpr wchar_t m8[] =
    L"Tato aplikace vyžaduje aktualizaci Brenmoor Vantor, která pro váš systém není k dispozici. "
    L"Přečtěte si " VANTOR_MSG_REQ(L"systémové požadavky")
    L" Brenmoor Vantor a podle nich aktualizujte svůj systém.";
inline constexpr wchar_t m9[] = L"Instalace\u2026 ";
inline constexpr wchar_t m10[] =
    L"Tato aplikace vyžaduje aktualizaci Brenmoor Vantor, ale správce nepovolil stažení této "
    L"aktualizace do vašeho systému. Obraťte se na správce.";
}  // namespace cs

namespace nl {
inline constexpr wchar_t m0[] =
    L"Voor dit programma is een versie van Brenmoor Vantor vereist die niet kan worden gevonden.\n"
    L"Download de nieuwste versie van de runtime van\n" VANTOR_MSG_DL L"\n"
    L"of neem contact op met de maker van het programma voor een bijgewerkte versie.";
inline constexpr wchar_t m1[] =
    L"Er is iets misgegaan bij het installeren van dit programma.\n"
    L"Installeer de nieuwste versie van Brenmoor Vantor van\n" VANTOR_MSG_DL
    L" en probeer het opnieuw.";
inline constexpr wchar_t m2[] = L"OK";
inline constexpr wchar_t m3[] = L"Annuleren";
inline constexpr wchar_t m4[] = L"Even geduld.";
inline constexpr wchar_t m5[] =
    L"Kan Brenmoor Vantor niet downloaden. Controleer of u met het netwerk bent verbonden en "
    L"probeer het opnieuw.";
inline constexpr wchar_t m6[] =
    L"De gedownloade versie van Brenmoor Vantor kan niet worden gevalideerd.\n"
    L"Installeer de nieuwste versie van Brenmoor Vantor van\n" VANTOR_MSG_DL L"\n"
    L"en probeer dit programma daarna opnieuw te installeren.";
inline constexpr wchar_t m7[] = L"Download wordt gecontroleerd...";
inline constexpr wchar_t m8[] =
    L"Voor dit programma is een update van Brenmoor Vantor vereist die niet beschikbaar is voor uw "
    L"systeem. Bekijk de " VANTOR_MSG_REQ(L"systeemvereisten")
    L" voor Brenmoor Vantor en werk uw systeem dienovereenkomstig bij.";
inline constexpr wchar_t m9[] = L"Installeren\u2026";
inline constexpr wchar_t m10[] =
    L"Voor dit programma is een update van Brenmoor Vantor vereist, maar uw beheerder staat niet "
    L"toe dat deze update op uw systeem wordt gedownload. Neem contact op met uw beheerder.";
}  // namespace nl

namespace pl {
inline constexpr wchar_t m0[] =
    L"Ta aplikacja wymaga wersji Brenmoor Vantor, której nie można znaleźć.\n"
    L"Pobierz najnowszą wersję środowiska uruchomieniowego ze strony\n" VANTOR_MSG_DL L"\n"
    L"lub skontaktuj się z autorem aplikacji, aby uzyskać zaktualizowaną wersję.";
inline constexpr wchar_t m1[] =
    L"Podczas instalowania tej aplikacji wystąpił błąd.\n"
    L"Zainstaluj najnowszą wersję Brenmoor Vantor ze strony\n" VANTOR_MSG_DL
    L" i spróbuj ponownie.";
inline constexpr wchar_t m2[] = L"OK";
inline constexpr wchar_t m3[] = L"Anuluj";
inline constexpr wchar_t m4[] = L"Proszę czekać.";
inline constexpr wchar_t m5[] =
    L"Nie można pobrać Brenmoor Vantor. Upewnij się, że masz połączenie z siecią, i spróbuj "
    L"ponownie.";
inline constexpr wchar_t m6[] =
    L"Nie można zweryfikować pobranej wersji Brenmoor Vantor.\n"
    L"Zainstaluj najnowszą wersję Brenmoor Vantor ze strony\n" VANTOR_MSG_DL L",\n"
    L"a następnie ponów instalację tej aplikacji.";
inline constexpr wchar_t m7[] = L"Weryfikowanie pobranego pliku...";
inline constexpr wchar_t m8[] =
    L"Ta aplikacja wymaga aktualizacji Brenmoor Vantor, która nie jest dostępna dla Twojego "
    L"systemu. Zapoznaj się z " VANTOR_MSG_REQ(L"wymaganiami systemowymi")
    L" Brenmoor Vantor i odpowiednio zaktualizuj system.";
inline constexpr wchar_t m9[] = L"Instalowanie ";
inline constexpr wchar_t m10[] =
    L"Ta aplikacja wymaga aktualizacji Brenmoor Vantor, ale administrator nie zezwala na pobranie "
    L"tej aktualizacji w Twoim systemie. Skontaktuj się z administratorem.";
}  // namespace pl

namespace sv {
inline constexpr wchar_t m0[] =
    L"Det här programmet kräver en version av Brenmoor Vantor som inte kan hittas.\n"
    L"Hämta den senaste versionen av körmiljön från\n" VANTOR_MSG_DL L"\n"
    L"eller kontakta programmets utvecklare för att få en uppdaterad version.";
inline constexpr wchar_t m1[] =
    L"Något gick fel när programmet skulle installeras.\n"
    L"Installera den senaste versionen av Brenmoor Vantor från\n" VANTOR_MSG_DL
    L" och försök sedan igen.";
inline constexpr wchar_t m2[] = L"OK";
inline constexpr wchar_t m3[] = L"Avbryt";
inline constexpr wchar_t m4[] = L"Vänta.";
inline constexpr wchar_t m5[] =
    L"Det gick inte att hämta Brenmoor Vantor. Kontrollera att du är ansluten till nätverket och "
    L"försök igen.";
inline constexpr wchar_t m6[] =
    L"Det gick inte att validera den hämtade versionen av Brenmoor Vantor.\n"
    L"Installera den senaste versionen av Brenmoor Vantor från\n" VANTOR_MSG_DL L"\n"
    L"och försök sedan installera programmet igen.";
inline constexpr wchar_t m7[] = L"Verifierar hämtningen...";
inline constexpr wchar_t m8[] =
    L"Det här programmet kräver en uppdatering av Brenmoor Vantor som inte är tillgänglig för ditt "
    L"system. Läs " VANTOR_MSG_REQ(L"systemkraven")
    L" för Brenmoor Vantor och uppdatera ditt system därefter.";
inline constexpr wchar_t m9[] = L"Installerar  ";
inline constexpr wchar_t m10[] =
    L"Det här programmet kräver en uppdatering av Brenmoor Vantor, men din administratör tillåter "
    L"inte att uppdateringen hämtas till ditt system. Kontakta din administratör.";
}  // namespace sv

namespace tr {
inline constexpr wchar_t m0[] =
    L"Bu uygulama, bulunamayan bir Brenmoor Vantor sürümü gerektiriyor.\n"
    L"Lütfen çalışma zamanının en son sürümünü\n" VANTOR_MSG_DL L" adresinden indirin\n"
    L"veya güncellenmiş bir sürüm için uygulamanın yazarına başvurun.";
inline constexpr wchar_t m1[] =
    L"Bu uygulama yüklenirken bir sorun oluştu.\n"
    L"Lütfen Brenmoor Vantor\u2019un en son sürümünü\n" VANTOR_MSG_DL
    L" adresinden yükleyin ve yeniden deneyin.";
inline constexpr wchar_t m2[] = L"Tamam";
inline constexpr wchar_t m3[] = L"İptal";
inline constexpr wchar_t m4[] = L"Lütfen bekleyin.";
inline constexpr wchar_t m5[] =
    L"Brenmoor Vantor indirilemiyor. Ağa bağlı olduğunuzdan emin olun ve yeniden deneyin.";
inline constexpr wchar_t m6[] =
    L"İndirilen Brenmoor Vantor sürümü doğrulanamadı.\n"
    L"Lütfen Brenmoor Vantor\u2019un en son sürümünü\n" VANTOR_MSG_DL L" adresinden yükleyin,\n"
    L"ardından bu uygulamayı yeniden yüklemeyi deneyin.";
inline constexpr wchar_t m7[] = L"İndirme doğrulanıyor...";
inline constexpr wchar_t m8[] =
    L"Bu uygulama, sisteminiz için kullanılamayan bir Brenmoor Vantor güncellemesi gerektiriyor. "
    L"Lütfen Brenmoor Vantor " VANTOR_MSG_REQ(L"sistem gereksinimlerini")
    L" inceleyin ve sisteminizi buna göre güncelleyin.";
inline constexpr wchar_t m9[] = L"Yükleniyor ";
inline constexpr wchar_t m10[] =
    L"Bu uygulama bir Brenmoor Vantor güncellemesi gerektiriyor, ancak yöneticiniz bu "
    L"güncellemenin sisteminize indirilmesine izin vermiyor. Lütfen yöneticinize başvurun.";
}  // namespace tr

}  // namespace embeddedtext

#undef VANTOR_MSG_REQ
#undef VANTOR_MSG_DL

// Every language record in its fixed order: code, Windows language identifier,
// the namespace of its texts; the last is the fallback with the English texts.
// Both message tables expand this one list, so their codes and order cannot drift apart.
#define VANTOR_LANGUAGE_RECORDS(X) \
  X("de", 0x407, de), \
  X("en", 0x409, en), \
  X("es", 0xc0a, es), \
  X("fr", 0x40c, fr), \
  X("it", 0x410, it), \
  X("ja", 0x411, ja), \
  X("ko", 0x412, ko), \
  X("pt", 0x416, pt), \
  X("ru", 0x419, ru), \
  X("zh-Hans", 0x804, zh_hans), \
  X("zh-Hant", 0x404, zh_hant), \
  X("cs", 0x405, cs), \
  X("nl", 0x413, nl), \
  X("pl", 0x415, pl), \
  X("sv", 0x41d, sv), \
  X("tr", 0x41f, tr), \
  X("", 0, en),
