# The message tables and the language choice, compiled from the same sources
# into both programs:
#   embeddedmessages   (interface, existing) + the catalogue allMessages
#   launchermessages   the launcher's table launcherMessages
#   embeddedlanguage   the language choice and text conversion (Qt-free)
# EMBEDDEDMESSAGES_LANGUAGE_SOURCES lists the language-choice sources for a
# program that prefers to compile them itself.
set(EMBEDDEDMESSAGES_LANGUAGE_SOURCES "${CMAKE_CURRENT_SOURCE_DIR}/LanguageChoice.cpp" CACHE INTERNAL "")

add_library(embeddedlanguage STATIC LanguageChoice.cpp)
target_include_directories(embeddedlanguage PUBLIC "${CMAKE_CURRENT_SOURCE_DIR}")
target_link_libraries(embeddedlanguage PUBLIC platform_core vantor_deployment)

add_library(embeddedmessages_catalogue STATIC embeddedmessages.cpp)
target_include_directories(embeddedmessages_catalogue PUBLIC "${CMAKE_CURRENT_SOURCE_DIR}")
target_link_libraries(embeddedmessages_catalogue PUBLIC embeddedlanguage vantor_deployment)
target_link_libraries(embeddedmessages INTERFACE embeddedmessages_catalogue)

add_library(launchermessages STATIC launchermessages.cpp)
target_include_directories(launchermessages PUBLIC "${CMAKE_CURRENT_SOURCE_DIR}")
target_link_libraries(launchermessages PUBLIC embeddedlanguage vantor_deployment)


vantor_add_test(NAME embeddedmessages_test
  SOURCES embeddedmessages_test.cpp LanguageChoice_test.cpp
  LIBS embeddedmessages_catalogue launchermessages)

