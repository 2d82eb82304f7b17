tavro_test(tst_sim SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sim/tst_sim.cpp LIBS tavro_sim_core)
tavro_use_sim(tst_sim)
